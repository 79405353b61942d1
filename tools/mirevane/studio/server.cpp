#include "studio/server.h"

#include "common/tool_error.h"

#ifndef MIREVANE_NO_HTTP
#include "studio/api.h"
#include "studio/browser_opener.h"
#include "studio/connection_gate.h"
#include "studio/connection_stream.h"
#include "studio/loopback_socket.h"
#include "studio/page_assets.h"
#include "studio/request_guard.h"

#include <httplib.h>
#endif

#include <csignal>
#include <cstdint>
#include <iostream>
#include <memory>
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

ConnectionGate* running = nullptr;

void StopOnSignal(int) {
    if (running != nullptr) {
        running->Stop();
    }
}

// The HTTP library parses and answers one request at a time on a stream of ours; which
// connection is read, and when, is the connection gate's.
class StudioServer : public httplib::Server {
public:
    // True when the connection may carry another request.
    bool Answer(Connection& connection) {
        ConnectionStream stream(connection);
        bool closed = false;
        const bool answered = process_request(stream, false, closed, nullptr);
        // After a refusal the rest of the request may be unread: the connection ends.
        return answered && !closed && !stream.Overran() && stream.Status() < 400;
    }
};

void RefuseAsTooLarge(httplib::Response& response) {
    response.status = 413;
    response.set_content("the request is larger than the studio reads (" +
                             std::to_string(kMostRequestBytes / 1024) + " kB)\n",
                         "text/plain; charset=utf-8");
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

// Every request passes the request guard first; a body said to be too large is refused
// before a byte of it is read. `port` is the server's once it listens.
void GuardRequests(StudioServer& server, const std::string& token, const int& port) {
    server.set_pre_routing_handler(
        [&token, &port](const httplib::Request& request, httplib::Response& response) {
            const Verdict verdict = Admit(FactsOf(request), token, port);
            response.set_header("Cache-Control", "no-store");
            response.set_header("Referrer-Policy", "no-referrer");
            response.set_header("X-Content-Type-Options", "nosniff");
            if (verdict.status != 0) {
                response.status = verdict.status;
                response.set_content(verdict.message + "\n", "text/plain; charset=utf-8");
                return httplib::Server::HandlerResponse::Handled;
            }
            // Refused before a byte of it is read.
            if (request.get_header_value<std::uint64_t>("Content-Length") > kMostRequestBytes) {
                RefuseAsTooLarge(response);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
}

// The page at the root, the requests of api.h under /api/, one at a time through `engine`.
void RoutePageAndApi(StudioServer& server, Session& session, std::mutex& engine) {
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy", kPolicy);
        response.set_content(kStudioPage, "text/html; charset=utf-8");
    });
    // The routes keep copies of this; it keeps the session and the lock by reference.
    const auto api = [&session, &engine](const httplib::Request& request, const std::string& body,
                                         httplib::Response& response) {
        std::lock_guard<std::mutex> lock(engine);
        // The target with its query: a picture is asked for by its name there.
        const ApiReply reply = HandleApi(session, request.method, request.target, body);
        response.status = reply.status;
        // JSON as "application/json; charset=utf-8", not "application/json" alone: the library
        // would compress that for a browser that accepts it, and brotli on a view of a
        // megabyte takes over a second on loopback, where it saves nothing.
        response.set_content(reply.body, reply.type);
    };
    server.Get(R"(/api/.*)", [api](const httplib::Request& request, httplib::Response& response) {
        api(request, request.body, response);
    });
    // The body is read here, so that one sent in chunks is refused as soon as it passes the
    // limit rather than once the library has read all of it.
    server.Post(R"(/api/.*)", [api](const httplib::Request& request, httplib::Response& response,
                                    const httplib::ContentReader& read) {
        std::string body;
        bool tooLarge = false;
        const bool whole = read([&](const char* data, std::size_t size) {
            tooLarge = body.size() + size > kMostRequestBytes;
            if (!tooLarge) {
                body.append(data, size);
            }
            return !tooLarge;
        });
        if (tooLarge) {
            RefuseAsTooLarge(response);
        } else if (whole) {
            api(request, body, response);
        } // otherwise the library's status for a body it could not read
    });
}

// Opens the address in the browser through a private file that forwards there (the token
// stays off the browser's command line); the file is kept while the studio runs.
std::unique_ptr<ForwardingFile> OpenBrowserOn(const std::string& address) {
    std::unique_ptr<ForwardingFile> forwarding;
    try {
        forwarding = std::make_unique<ForwardingFile>(address);
    } catch (const std::exception&) {
    }
    if (!forwarding || !OpenInBrowser(forwarding->Path())) {
        std::cerr << "mirevane studio: could not open a browser: open the address above\n";
    }
    return forwarding;
}

} // namespace

int RunStudio(const StudioOptions& options, const StudioServerOptions& serverOptions) {
    Session session(options);
    session.View(false); // the first run: a cab that cannot be replayed fails here, not in the page
    std::mutex engine;   // one request at a time reaches the session

    StudioServer server;
    const std::string token = NewToken();
    int port = 0;
    GuardRequests(server, token, port);
    RoutePageAndApi(server, session, engine);

    const Socket listener = ListenOnLoopback(serverOptions.port);
    if (listener == kNoSocket) {
        throw InputError("--port", 0, 0,
                         "cannot listen on 127.0.0.1:" + std::to_string(serverOptions.port) +
                             ": another program has it; choose another --port or leave it out",
                         "studio-port");
    }
    port = PortOf(listener);
    ConnectionGate gate(listener,
                        [&](Connection& connection) { return server.Answer(connection); });
    const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/?token=" + token;
    std::cout << "Mirevane studio for " << options.argument << "\n  " << address
              << "\nCtrl-C stops it; unsaved edits are lost.\n"
              << std::flush;
    const std::unique_ptr<ForwardingFile> forwarding =
        serverOptions.openBrowser ? OpenBrowserOn(address) : nullptr;
    running = &gate;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    gate.Run();
    running = nullptr;
    CloseSocket(listener);
    return 0;
}

#endif
} // namespace mirevane::tool
