#include "studio/served_pictures.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace mirevane::tool {
namespace {

namespace fs = std::filesystem;

// True when `file`, its links resolved, lies in `folder` or below it.
bool Inside(const std::string& file, const std::string& folder) {
    std::error_code error;
    const fs::path root = fs::canonical(fs::u8path(folder), error);
    if (error) {
        return false;
    }
    const fs::path real = fs::canonical(fs::u8path(file), error);
    if (error || !fs::is_regular_file(real, error)) {
        return false;
    }
    const auto [inRoot, inReal] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
    return inRoot == root.end();
}

ServedPicture Refused(int status, std::string message) {
    return {status, {}, std::move(message)};
}

} // namespace

ServedPictures::ServedPictures(std::optional<PanelFile> panel) : panel_(std::move(panel)) {}

ServedPicture ServedPictures::Serve(const std::string& name) {
    if (!panel_) {
        return Refused(404, "the studio has no panel file: it serves no picture");
    }
    if (const auto done = encoded_.find(name); done != encoded_.end()) {
        return {200, done->second, {}};
    }
    if (!loaded_) {
        loaded_ = LoadPanelPictures(*panel_);
    }
    const PanelPicture* named = nullptr;
    if (!name.empty() && loaded_->background.name == name) {
        named = &loaded_->background;
    }
    for (const PanelPicture& p : loaded_->elements) {
        if (named == nullptr && !name.empty() && p.name == name) {
            named = &p;
        }
    }
    const std::string quoted = "'" + name + "'";
    if (named == nullptr) {
        return Refused(404, "the panel file names no picture " + quoted);
    }
    switch (named->state) {
    case PictureState::kFound:
    case PictureState::kOtherCase:
        break;
    case PictureState::kOutsideFolder:
        return Refused(403, quoted + " lies outside the panel's folder: " + named->reason);
    case PictureState::kUnreadable:
        return Refused(404, quoted + " cannot be read: " + named->reason);
    case PictureState::kNone:
    case PictureState::kMissing:
        return Refused(404, quoted + " does not exist");
    }
    // Checked again here, whatever the loader decided: the studio is a door into the machine.
    if (!Inside(named->path, panel_->folder)) {
        return Refused(403, quoted + " lies outside the panel's folder");
    }
    const std::string& png = encoded_[name] = EncodePng(named->picture);
    return {200, png, {}};
}

} // namespace mirevane::tool
