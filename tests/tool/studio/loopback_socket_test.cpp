// The studio's listener is its own: no second socket, not even one of the same user asking to
// share, can listen on its port beside it (and so take some of the page's requests).
#include "studio/loopback_socket.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace mirevane::tool {
namespace {

// A socket that asks for every kind of sharing the system offers, bound to port.
bool ASharingSocketBinds(int port) {
    const Socket other = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(other, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
#ifdef SO_REUSEPORT
    setsockopt(other, SOL_SOCKET, SO_REUSEPORT, reinterpret_cast<const char*>(&yes), sizeof yes);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound =
        bind(other, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        listen(other, 1) == 0;
    CloseSocket(other);
    return bound;
}

TEST(LoopbackListener, NoSecondListenerSharesItsPort) {
    const Socket listener = ListenOnLoopback(0);
    ASSERT_NE(listener, kNoSocket);
    const int port = PortOf(listener);
    ASSERT_GT(port, 0);
    EXPECT_FALSE(ASharingSocketBinds(port));
    EXPECT_EQ(ListenOnLoopback(port), kNoSocket); // a second studio on --port is refused
    CloseSocket(listener);
}

TEST(LoopbackListener, ItsPortIsFreeAgainOnceClosed) {
    const Socket listener = ListenOnLoopback(0);
    ASSERT_NE(listener, kNoSocket);
    const int port = PortOf(listener);
    CloseSocket(listener);
    const Socket again = ListenOnLoopback(port);
    EXPECT_NE(again, kNoSocket);
    CloseSocket(again);
}

} // namespace
} // namespace mirevane::tool
