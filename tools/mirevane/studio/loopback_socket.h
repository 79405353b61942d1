// The few socket calls the studio's server makes itself, the same on POSIX and on Windows:
// a listener on 127.0.0.1 that no other program can share, waiting on sockets, reading and
// writing. The HTTP library parses and answers requests; who gets a socket is decided here.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <cstddef>
#include <string>

namespace mirevane::tool {

#ifdef _WIN32
using Socket = SOCKET;
using PollEntry = WSAPOLLFD;
constexpr Socket kNoSocket = INVALID_SOCKET;
#else
using Socket = int;
using PollEntry = pollfd;
constexpr Socket kNoSocket = -1;
#endif

// Listens on 127.0.0.1:port (0: any free port) and returns the socket, or kNoSocket when the
// port cannot be had. No other socket may bind the port beside it: on POSIX it does not
// offer SO_REUSEPORT (which would let another process of the same user take half the
// connections), on Windows it asks for SO_EXCLUSIVEADDRUSE.
Socket ListenOnLoopback(int port);
// This end's port of a socket, and the other end's.
int PortOf(Socket socket);
int PeerPortOf(Socket socket);

// A datagram socket on 127.0.0.1 connected to itself: Wake from any thread makes it readable,
// so a thread waiting in WaitForSockets on it returns.
Socket NewWakeSocket();
void Wake(Socket wake);
void DrainWake(Socket wake);

// Waits until one of entries is ready or timeoutMs pass (-1: no limit); the count ready.
int WaitForSockets(PollEntry* entries, std::size_t count, int timeoutMs);
bool WaitReadable(Socket socket, int timeoutMs);
bool WaitWritable(Socket socket, int timeoutMs);

Socket AcceptFrom(Socket listener);
// As recv and send: the bytes moved, 0 at the end of the stream, below 0 on an error.
long ReadSome(Socket socket, char* into, std::size_t most);
long WriteSome(Socket socket, const char* from, std::size_t count);
// Writes what the socket takes now, for a short answer on a connection about to close.
void WriteBriefly(Socket socket, const std::string& text);
void CloseSocket(Socket socket);
// Closes a connection whose answer is written but whose request may be partly unread (a body
// refused as too large): this end is shut for writing first, and what the client still sends
// is read and dropped for up to a second, so that the close does not reset the connection and
// take the answer with it before the client reads it.
void CloseAfterAnswer(Socket socket);

} // namespace mirevane::tool
