// `mirevane studio`: the session behind a small HTTP server on 127.0.0.1, the studio's page
// at its root, the requests of api.h under /api/. Every request passes the request guard
// first. It runs until Ctrl-C.
#pragma once

#include "studio/session.h"

namespace mirevane::tool {

struct StudioServerOptions {
    int port = 0;            // 0: any free port
    bool openBrowser = true; // open the address in the user's browser
};

// Returns the exit status; throws InputError when the cab, the scenario or a dial picture
// cannot be read, or the port cannot be had.
int RunStudio(const StudioOptions& options, const StudioServerOptions& server);

} // namespace mirevane::tool
