// The clipboard without an operating system of its own: an in-process stand-in that keeps
// the last text put on it, so tests and the companion tool see what a copy would leave.
#include "platform/platform.h"

namespace mirevane::platform {
namespace {

std::string& StoredText() {
    static std::string text;
    return text;
}

} // namespace

bool CopyTextToClipboard(const char* text) {
    StoredText() = text;
    return true;
}

std::string ClipboardText() {
    return StoredText();
}

} // namespace mirevane::platform
