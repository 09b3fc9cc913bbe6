// The TCP socket seam of the daemon client.
//
// Sockets are plain ints: the platform's socket value truncated to 32 bits
// and widened again with its sign when it goes back to the platform, so that
// the invalid socket is -1 on both systems. Every function reports failure by
// its result and never raises.
//
// The client side (startSockets to readSome) is what DaemonComm uses. The
// server side (listenLoopback and below) serves the in-process daemons of the
// tests and the benchmarks; the library itself never listens.
#ifndef BRIMSEL_PLATFORM_SOCKET_H
#define BRIMSEL_PLATFORM_SOCKET_H

#include <brimsel/export.h>

#include <cstddef>
#include <string>

namespace Brimsel {
namespace platform {

// Starts the platform's socket layer (Windows Sockets 1.1); true when it runs.
// Nothing to start on POSIX.
BRIMSEL_API bool startSockets();

// A new TCP socket, or -1.
BRIMSEL_API int tcpSocket();

// The IPv4 address of `host` in network byte order, as 4 bytes: a dotted
// address is taken as it is; anything else is looked up by name and the first
// IPv4 address found is used. False when the name does not resolve.
BRIMSEL_API bool resolveIPv4(const std::string& host, unsigned char address[4]);

// Connects `s` to `address` (network byte order) at `port` (its low 16 bits).
BRIMSEL_API bool connectIPv4(int s, const unsigned char address[4], int port);

// Writes all `length` bytes, continuing partial writes. Never raises SIGPIPE.
// True only when every byte was handed to the platform.
BRIMSEL_API bool sendAll(int s, const char* data, std::size_t length);

// Ends sending (how = 1) or both directions (how = 2).
BRIMSEL_API void shutdownSocket(int s, int how);
BRIMSEL_API void closeSocket(int s);

// A wake-up channel that lets one thread end another's waitReadable at once.
struct Waker {
  int nReceive = -1;
  int nSignal = -1;
};
BRIMSEL_API bool openWaker(Waker& waker);
BRIMSEL_API void signalWaker(const Waker& waker);
BRIMSEL_API void closeWaker(Waker& waker);

enum Readiness {
  READY_DATA,     // data waits on the socket, or the peer closed or reset it
  READY_WOKEN,     // the waker was signalled (it stays signalled)
  READY_TIMEOUT,
  READY_FAILED     // the platform's wait failed
};
// Waits until `s` is readable or `waker` is signalled, at most `timeoutMs`
// (-1: no limit). A signalled waker wins over a readable socket.
BRIMSEL_API Readiness waitReadable(int s, const Waker& waker, int timeoutMs);

// Reads what waits on a readable socket without blocking, at most `capacity`
// bytes. Returns the count read (> 0), 0 when the peer closed the
// connection, -1 when the socket failed (reset, or the count of waiting bytes
// could not be read), -2 when nothing waits after all.
BRIMSEL_API long readSome(int s, char* buffer, std::size_t capacity);

// --- server side, for in-process daemons ---

// A socket listening on 127.0.0.1 at a port the system chooses, which is
// stored in `port`; -1 on failure.
BRIMSEL_API int listenLoopback(int& port);
// Accepts one connection, waiting at most `timeoutMs`; -1 on time-out or failure.
BRIMSEL_API int acceptConnection(int listener, int timeoutMs);
// Waits at most `timeoutMs` for `s` to become readable.
BRIMSEL_API bool waitForData(int s, int timeoutMs);
// One blocking receive: the count (> 0), 0 at the peer's close, -1 on failure.
BRIMSEL_API long receiveBlocking(int s, char* buffer, std::size_t capacity);
// Turns off the small-packet delay, so that round trips are not held back.
BRIMSEL_API void setNoDelay(int s);
// Closes `s` so that the peer sees a reset rather than an orderly close.
BRIMSEL_API void closeWithReset(int s);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_SOCKET_H
