// STUB: replaced by the Windows clipboard exchange.
#include "platform/platform.h"

namespace mirevane::platform {

bool CopyTextToClipboard(const char*) {
    return false;
}

} // namespace mirevane::platform
