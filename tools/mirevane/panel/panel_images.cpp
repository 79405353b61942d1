#include "panel/panel_images.h"

#include "config/text.h"
#include "panel/file_bytes.h"

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

namespace mirevane::tool {
namespace {

namespace fs = std::filesystem;

// A picture file decoded once, whichever elements name it.
struct Decoded {
    std::string reason; // empty: decoded
    Picture picture;
};

class PictureFinder {
public:
    explicit PictureFinder(const PanelFile& panel) {
        std::error_code error;
        const fs::path folder = fs::u8path(panel.folder.empty() ? "." : panel.folder);
        folder_ = folder;
        root_ = fs::canonical(folder, error);
        if (error) {
            root_ = fs::absolute(folder, error).lexically_normal();
        }
    }

    PanelPicture Find(const PanelImageName& name, PanelColour transparent, PanelColour tint) {
        PanelPicture found;
        found.name = name.name;
        found.spot = name.spot;
        if (name.name.empty()) {
            return found;
        }
        bool otherCase = false;
        const std::optional<fs::path> path = Lookup(name.name, otherCase);
        if (!path) {
            found.state = PictureState::kMissing;
            return found;
        }
        std::error_code error;
        const fs::path real = fs::canonical(*path, error);
        if (error) {
            found.state = PictureState::kMissing;
            return found;
        }
        found.path = real.u8string();
        const fs::path inside = real.lexically_relative(root_);
        if (inside.empty() || *inside.begin() == "..") {
            found.state = PictureState::kOutsideFolder;
            found.reason =
                "it is " + found.path + ", outside the panel file's folder " + root_.u8string();
            return found;
        }
        const Decoded& decoded = Decode(real);
        if (!decoded.reason.empty()) {
            found.state = PictureState::kUnreadable;
            found.reason = decoded.reason;
            return found;
        }
        found.state = otherCase ? PictureState::kOtherCase : PictureState::kFound;
        found.picture = decoded.picture;
        CutTransparentColour(found.picture, transparent);
        Tint(found.picture, tint);
        return found;
    }

private:
    // The file a name means, as the host on Windows finds it: '\' or '/' between folders, each
    // part matched exactly or else in any letter case (ASCII letters).
    std::optional<fs::path> Lookup(const std::string& name, bool& otherCase) const {
        std::string written = name;
        for (char& c : written) {
            c = c == '\\' ? '/' : c;
        }
        fs::path path = folder_;
        std::error_code error;
        for (const fs::path& part : fs::u8path(written)) {
            const std::string text = part.u8string();
            if (text.empty() || text == "/" || text == ".") {
                continue;
            }
            if (text == "..") {
                path /= part;
                continue;
            }
            // The folder's own names, not exists(): a Windows file system finds any letter
            // case, and the other case is worth saying there too.
            const std::string lower = LowerAscii(text);
            std::optional<fs::path> match;
            bool exact = false;
            for (fs::directory_iterator it(path, error), end; !error && it != end;
                 it.increment(error)) {
                const fs::path entry = it->path().filename();
                if (entry.u8string() == text) {
                    exact = true;
                } else if (LowerAscii(entry.u8string()) == lower && (!match || entry < *match)) {
                    match = entry;
                }
            }
            if (exact) {
                path /= part;
                continue;
            }
            if (!match) {
                return std::nullopt;
            }
            path /= *match;
            otherCase = true;
        }
        return path;
    }

    const Decoded& Decode(const fs::path& real) {
        const std::string key = real.u8string();
        const auto cached = decoded_.find(key);
        if (cached != decoded_.end()) {
            return cached->second;
        }
        Decoded decoded;
        std::string bytes;
        std::error_code error;
        if (fs::is_directory(real, error)) {
            decoded.reason = "a folder, not a picture";
        } else if (!ReadFileBytes(real, bytes)) {
            decoded.reason = "the file cannot be read";
        } else {
            try {
                decoded.picture = DecodePicture(bytes);
            } catch (const std::runtime_error& refused) {
                decoded.reason = refused.what();
            }
        }
        return decoded_.emplace(key, std::move(decoded)).first->second;
    }

    fs::path folder_;
    fs::path root_;
    std::map<std::string, Decoded> decoded_;
};

} // namespace

PanelPictures LoadPanelPictures(const PanelFile& panel) {
    PictureFinder finder(panel);
    PanelPictures pictures;
    pictures.background = finder.Find(panel.dayImage, panel.transparentColour, {255, 255, 255});
    for (const PanelElement& element : panel.elements) {
        pictures.elements.push_back(
            finder.Find(element.dayImage, element.transparentColour, element.colour));
    }
    return pictures;
}

NeedlePlacement PlaceNeedle(const PanelElement& needle, const Picture& picture) {
    NeedlePlacement placement;
    placement.origin =
        needle.origin.value_or(PanelPoint{picture.width / 2.0, picture.height / 2.0});
    if (needle.radius != 0.0 && placement.origin.y != 0.0) {
        placement.scale = needle.radius / placement.origin.y;
    }
    return placement;
}

} // namespace mirevane::tool
