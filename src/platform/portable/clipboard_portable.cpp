// STUB: replaced by the in-process clipboard stand-in.
#include "platform/platform.h"

namespace mirevane::platform {

bool CopyTextToClipboard(const char*) {
    return false;
}

} // namespace mirevane::platform
