#include "studio/server.h"

#include "common/tool_error.h"
#include "studio/api.h"
#include "studio/page_assets.h"
#include "studio/request_guard.h"

#ifndef MIREVANE_NO_HTTP
#include <httplib.h>
#endif

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <mutex>

namespace mirevane::tool {
#ifdef MIREVANE_NO_HTTP

int RunStudio(const StudioOptions& options, const StudioServerOptions&) {
    throw InputError(options.argument, 0, 0,
                     "this mirevane was built without its HTTP library: use a release build, "
                     "or build with cpp-httplib's source (scripts/install-deps)",
                     "no-studio");
}

#else
namespace {

// The page may talk to its own server and nothing else; it shows the dial page of the run in
// a frame of its own text. Nobody may frame the studio.
constexpr const char* kPolicy = "default-src 'none'; script-src 'unsafe-inline'; "
                                "style-src 'unsafe-inline'; img-src data:; connect-src 'self'; "
                                "frame-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
                                "form-action 'none'";

httplib::Server* running = nullptr;

void StopOnSignal(int) {
    if (running != nullptr) {
        running->stop();
    }
}

void OpenInBrowser(const std::string& address) {
    // The address holds only [0-9a-z:/.?=]: nothing a shell would read as its own.
#ifdef _WIN32
    const std::string command = "start \"\" \"" + address + "\"";
#else
    const std::string command = "xdg-open '" + address + "' >/dev/null 2>&1 &";
#endif
    if (std::system(command.c_str()) != 0) {
        std::cerr << "mirevane studio: could not open a browser: open the address above\n";
    }
}

RequestFacts FactsOf(const httplib::Request& request) {
    RequestFacts facts;
    facts.method = request.method;
    facts.host = request.get_header_value("Host");
    facts.hasOrigin = request.has_header("Origin");
    facts.origin = request.get_header_value("Origin");
    facts.token = request.has_header("X-Mirevane-Token")
                      ? request.get_header_value("X-Mirevane-Token")
                      : request.get_param_value("token");
    return facts;
}

} // namespace

int RunStudio(const StudioOptions& options, const StudioServerOptions& serverOptions) {
    Session session(options);
    session.View(false); // the first run: a cab that cannot be replayed fails here, not in the page
    std::mutex engine;   // one request at a time reaches the session

    httplib::Server server;
    server.set_payload_max_length(kMostRequestBytes);
    const std::string token = NewToken();
    int port = 0;
    server.set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response& response) {
            const Verdict verdict = Admit(FactsOf(request), token, port);
            response.set_header("Cache-Control", "no-store");
            response.set_header("Referrer-Policy", "no-referrer");
            response.set_header("X-Content-Type-Options", "nosniff");
            if (verdict.status == 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.status = verdict.status;
            response.set_content(verdict.message + "\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        });
    server.Get("/", [&](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy", kPolicy);
        response.set_content(kStudioPage, "text/html; charset=utf-8");
    });
    const auto api = [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> lock(engine);
        const ApiReply reply = HandleApi(session, request.method, request.path, request.body);
        response.status = reply.status;
        // Not "application/json" alone: the library would compress that for a browser that
        // accepts it, and brotli on a view of a megabyte takes over a second on loopback,
        // where it saves nothing.
        response.set_content(reply.body, "application/json; charset=utf-8");
    };
    server.Get(R"(/api/.*)", api);
    server.Post(R"(/api/.*)", api);

    port = serverOptions.port == 0
               ? server.bind_to_any_port("127.0.0.1")
               : (server.bind_to_port("127.0.0.1", serverOptions.port) ? serverOptions.port : -1);
    if (port <= 0) {
        throw InputError("--port", 0, 0,
                         "cannot listen on 127.0.0.1:" + std::to_string(serverOptions.port) +
                             ": another program has it; choose another --port or leave it out",
                         "studio-port");
    }
    const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/?token=" + token;
    std::cout << "Mirevane studio for " << options.argument << "\n  " << address
              << "\nCtrl-C stops it; unsaved edits are lost.\n"
              << std::flush;
    if (serverOptions.openBrowser) {
        OpenInBrowser(address);
    }
    running = &server;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    server.listen_after_bind();
    running = nullptr;
    return 0;
}

#endif
} // namespace mirevane::tool
