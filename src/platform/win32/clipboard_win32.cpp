// The clipboard on Windows: the copied text goes out as CF_TEXT in a moveable global block,
// and can be read back for tests and the companion tool.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

namespace mirevane::platform {

bool CopyTextToClipboard(const char* text) {
    const int length = lstrlenA(text);
    // Room to spare beyond the terminating zero; GMEM_ZEROINIT keeps all of it zero.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(length) + 128);
    if (block == nullptr) {
        return false;
    }
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        GlobalFree(block);
        return false;
    }
    lstrcpyA(bytes, text);
    GlobalUnlock(block);

    // Each call is made once whatever the one before returned: a clipboard held by another
    // program just leaves its old content.
    OpenClipboard(nullptr);
    EmptyClipboard();
    const HANDLE taken = SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    // A block the clipboard did not take would otherwise leak on every press while another
    // program holds the clipboard. Only SetClipboardData's result says whether it was taken:
    // Wine takes the block even after a failed OpenClipboard, and a block once taken belongs
    // to the system and must not be freed or touched.
    if (taken == nullptr) {
        GlobalFree(block);
    }
    return true;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            // Bounded by the block: another program's text need not be terminated.
            text.assign(bytes, strnlen(bytes, GlobalSize(data)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

} // namespace mirevane::platform
