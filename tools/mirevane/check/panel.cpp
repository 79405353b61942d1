// check: the cab's panel file, when one was chosen: read, its own problems and its pictures,
// then the wiring of the gauges into it.
#include "check/context.h"

#include "common/tool_error.h"

#include <filesystem>

namespace mirevane::tool {
namespace {

// "DaytimeImage 'needle.bmp'" for an element's picture, "[This] DaytimeImage ..." for the
// background.
std::string PictureName(const PanelPicture& picture, const char* owner) {
    return std::string(owner) + "DaytimeImage " + Quoted(picture.name);
}

} // namespace

Where At(const PanelFile& panel, const PanelSpot& spot) {
    return {panel.path, spot.line, spot.column};
}

void Checker::CheckPanelPictures(const PanelFile& panel, const PanelPictures& pictures) {
    const auto check = [&](const PanelPicture& p, const char* owner, const std::string& drawn) {
        const Where where = At(panel, p.spot);
        switch (p.state) {
        case PictureState::kNone:
        case PictureState::kFound:
            break;
        case PictureState::kMissing:
            Add("panel-image-missing", where,
                PictureName(p, owner) +
                    " does not exist in any letter case (names are relative to the panel "
                    "file's folder): the host draws nothing for " +
                    drawn);
            break;
        case PictureState::kOtherCase:
            Add("panel-image-case", where,
                PictureName(p, owner) + " is there only as " +
                    Quoted(std::filesystem::path(p.path).filename().string()) +
                    ": the host on Windows finds it, a case-sensitive file system does not");
            break;
        case PictureState::kUnreadable:
            Add("panel-image-unreadable", where,
                PictureName(p, owner) + " cannot be decoded (" + p.reason + "): the tool draws a " +
                    "marked placeholder for " + drawn + ", and the host may not show it either");
            break;
        case PictureState::kOutsideFolder:
            Add("panel-image-outside", where,
                PictureName(p, owner) + " lies outside the panel file's folder (" + p.reason +
                    "): the tool does not read it");
            break;
        }
    };
    check(pictures.background, "[This] ", "the panel picture");
    for (const PanelElement& element : panel.elements) {
        const auto at = static_cast<std::size_t>(element.order);
        if (at < pictures.elements.size()) {
            check(pictures.elements[at], "",
                  "the [" + std::string(PanelElementName(element.kind)) + "] of line " +
                      std::to_string(element.section.line));
        }
    }
}

void Checker::CheckPanel(const CMirevane& gauges, const PanelReading& reading) {
    if (reading.choice.path.empty()) {
        return;
    }
    if (!reading.file) {
        Add("panel-unreadable", reading.choice.path, 0, reading.error);
        return;
    }
    const PanelFile& panel = *reading.file;
    for (const PanelFile::Problem& problem : panel.problems) {
        Add("panel-syntax", At(panel, problem.spot), problem.message);
    }
    CheckPanelPictures(panel, reading.pictures);
    CheckWiring(gauges, panel, reading.pictures);
}

PanelReading ReadPanel(const PanelChoice& choice) {
    PanelReading reading;
    reading.choice = choice;
    if (choice.path.empty()) {
        return reading;
    }
    try {
        reading.file = ReadPanelFile(choice.path);
    } catch (const InputError& error) {
        reading.error = error.what();
        return reading;
    }
    reading.pictures = LoadPanelPictures(*reading.file);
    return reading;
}

} // namespace mirevane::tool
