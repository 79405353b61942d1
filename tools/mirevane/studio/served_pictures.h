// The panel's pictures as the studio serves them to its page: only a picture the panel file
// names, only when it lies inside the panel file's folder (real paths, links resolved), read
// and never written, and answered as the host draws it (transparent colour cut, tinted) in
// PNG. Everything else is refused.
#pragma once

#include "panel/panel_file.h"
#include "panel/panel_images.h"

#include <map>
#include <optional>
#include <string>

namespace mirevane::tool {

struct ServedPicture {
    int status = 200;    // 200; 403 outside the folder; 404 not named, missing, unreadable
    std::string png;     // for 200
    std::string message; // otherwise
};

class ServedPictures {
public:
    // panel: the studio's panel file; nothing: the studio has none.
    explicit ServedPictures(std::optional<PanelFile> panel);

    // The picture the panel file names `name` (as written). The pictures are read at the
    // first request, not at start, and each one encoded once.
    ServedPicture Serve(const std::string& name);

    const std::optional<PanelFile>& panel() const noexcept { return panel_; }

private:
    std::optional<PanelFile> panel_;
    std::optional<PanelPictures> loaded_;
    std::map<std::string, std::string> encoded_; // name -> PNG
};

} // namespace mirevane::tool
