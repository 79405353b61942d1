#include "studio/loopback_socket.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#ifndef WSA_FLAG_NO_HANDLE_INHERIT
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80
#endif
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>

namespace mirevane::tool {
namespace {

#ifdef _WIN32
void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Not inherited by the programs the studio starts (the browser).
Socket NewSocket(int type) {
    StartSockets();
    return WSASocketW(AF_INET, type, 0, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

bool Interrupted() {
    return false;
}

void MakeNonBlocking(Socket socket) {
    u_long yes = 1;
    ioctlsocket(socket, FIONBIO, &yes);
}

int SendFlags() {
    return 0;
}
#else
Socket NewSocket(int type) {
    return socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

bool Interrupted() {
    return errno == EINTR;
}

void MakeNonBlocking(Socket socket) {
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
}

// A client that closed early must not end the studio with SIGPIPE.
int SendFlags() {
    return MSG_NOSIGNAL;
}
#endif

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool WaitFor(Socket socket, short events, int timeoutMs) {
    PollEntry entry{};
    entry.fd = socket;
    entry.events = events;
    return WaitForSockets(&entry, 1, timeoutMs) > 0 && (entry.revents & events) != 0;
}

// A write that finds no reader for this long fails, so that a client that stops reading holds
// a worker no longer.
void LimitWriteTime(Socket socket) {
#ifdef _WIN32
    const DWORD ms = 5000;
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
#else
    timeval limit{5, 0};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
#endif
}

} // namespace

Socket ListenOnLoopback(int port) {
    const Socket listener = NewSocket(SOCK_STREAM);
    if (listener == kNoSocket) {
        return kNoSocket;
    }
    const int yes = 1;
#ifdef _WIN32
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
#else
    // Only so that a studio started again has its --port at once, past the closed connections
    // of the last one; on POSIX it lets no second listener in.
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    const sockaddr_in address = LoopbackAddress(port);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0) {
        CloseSocket(listener);
        return kNoSocket;
    }
    return listener;
}

int PortOf(Socket socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

int PeerPortOf(Socket socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

Socket NewWakeSocket() {
    const Socket wake = NewSocket(SOCK_DGRAM);
    const sockaddr_in address = LoopbackAddress(0);
    if (wake == kNoSocket ||
        bind(wake, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseSocket(wake);
        return kNoSocket;
    }
    // Connected to itself, it takes datagrams from itself alone.
    const sockaddr_in self = LoopbackAddress(PortOf(wake));
    connect(wake, reinterpret_cast<const sockaddr*>(&self), sizeof self);
    MakeNonBlocking(wake);
    return wake;
}

void Wake(Socket wake) {
    const char byte = 0;
    send(wake, &byte, 1, SendFlags());
}

void DrainWake(Socket wake) {
    char bytes[64];
    while (recv(wake, bytes, sizeof bytes, 0) > 0) {
    }
}

int WaitForSockets(PollEntry* entries, std::size_t count, int timeoutMs) {
#ifdef _WIN32
    const int ready = WSAPoll(entries, static_cast<ULONG>(count), timeoutMs);
#else
    const int ready = poll(entries, count, timeoutMs);
#endif
    return ready < 0 && Interrupted() ? 0 : ready;
}

bool WaitReadable(Socket socket, int timeoutMs) {
    return WaitFor(socket, POLLIN, timeoutMs);
}

bool WaitWritable(Socket socket, int timeoutMs) {
    return WaitFor(socket, POLLOUT, timeoutMs);
}

Socket AcceptFrom(Socket listener) {
#ifdef _WIN32
    const Socket socket = accept(listener, nullptr, nullptr);
    if (socket != kNoSocket) {
        SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    }
#else
    const Socket socket = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
#endif
    if (socket != kNoSocket) {
        LimitWriteTime(socket);
    }
    return socket;
}

long ReadSome(Socket socket, char* into, std::size_t most) {
    for (;;) {
        const long got = recv(socket, into, static_cast<int>(most), 0);
        if (got >= 0 || !Interrupted()) {
            return got;
        }
    }
}

long WriteSome(Socket socket, const char* from, std::size_t count) {
    for (;;) {
        const long put = send(socket, from, static_cast<int>(count), SendFlags());
        if (put >= 0 || !Interrupted()) {
            return put;
        }
    }
}

void WriteBriefly(Socket socket, const std::string& text) {
    MakeNonBlocking(socket);
    WriteSome(socket, text.data(), text.size());
}

void CloseSocket(Socket socket) {
    if (socket == kNoSocket) {
        return;
    }
#ifdef _WIN32
    closesocket(socket);
#else
    close(socket);
#endif
}

void CloseAfterAnswer(Socket socket) {
    if (socket == kNoSocket) {
        return;
    }
#ifdef _WIN32
    shutdown(socket, SD_SEND);
#else
    shutdown(socket, SHUT_WR);
#endif
    // Bounded in time and bytes, so that a client that keeps sending holds a worker no longer.
    constexpr auto kLinger = std::chrono::seconds(1);
    constexpr std::size_t kMostDropped = 4 * 1024 * 1024;
    const auto until = std::chrono::steady_clock::now() + kLinger;
    std::size_t dropped = 0;
    char bytes[16 * 1024];
    while (dropped < kMostDropped) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitReadable(socket, static_cast<int>(left.count()))) {
            break;
        }
        const long got = ReadSome(socket, bytes, sizeof bytes);
        if (got <= 0) {
            break; // the client closed its end too
        }
        dropped += static_cast<std::size_t>(got);
    }
    CloseSocket(socket);
}

} // namespace mirevane::tool
