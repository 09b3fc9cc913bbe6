// SPDX-License-Identifier: MIT
// The TCP socket seam of the daemon client.
//
// Sockets are plain ints: the platform's socket value truncated to 32 bits
// and widened again with its sign when it goes back to the platform, so that
// the invalid socket is -1 on both systems. Every function reports failure by
// its result and never raises.
//
// This is the client side alone, what DaemonComm uses; the library never
// listens (the tests' server has sockets of its own).
#ifndef BRIMSEL_PLATFORM_SOCKET_H
#define BRIMSEL_PLATFORM_SOCKET_H

#include <cstddef>
#include <string>

namespace Brimsel {
namespace platform {

// Starts the platform's socket layer (Windows Sockets 1.1); true when it runs.
// Nothing to start on POSIX.
bool startSockets();

// A new TCP socket, or -1.
int tcpSocket();

// The IPv4 address of `host` in network byte order, as 4 bytes: a dotted
// address is taken as it is; anything else is looked up by name and the first
// IPv4 address found is used. False when the name does not resolve.
bool resolveIPv4(const std::string& host, unsigned char address[4]);

// Connects `s` to `address` (network byte order) at `port` (its low 16 bits).
bool connectIPv4(int s, const unsigned char address[4], int port);

// Writes all `length` bytes, continuing partial writes. Never raises SIGPIPE.
// True only when every byte was handed to the platform.
bool sendAll(int s, const char* data, std::size_t length);

// Ends sending (how = 1) or both directions (how = 2).
void shutdownSocket(int s, int how);
void closeSocket(int s);

// Ends the connection for every thread at once, without closing the socket:
// both directions are shut down, and a send or receive blocked on `s` in
// another thread returns with a failure (Windows needs its pending I/O
// cancelled for that: its shutdown alone does not end a blocked send).
void abortSocket(int s);

// What lets one thread end another's receive at once. Windows: a UDP socket
// connected to itself, which receive waits on next to the connection (select
// takes sockets only). POSIX: nothing; shutting the connection down ends a
// blocked recv there, and receive needs no second descriptor to wait on.
struct Waker {
  int receiveEnd = -1;
  int signalEnd = -1;
};
bool openWaker(Waker& waker);
void signalWaker(const Waker& waker);
void closeWaker(Waker& waker);

const long kReceiveFailed = -1;  // the connection failed (reset), or the wait or the count did
const long kReceiveWoken = -3;   // the waker was signalled, or the connection shut down here

// Blocks until bytes arrive on `s`, the peer closes the connection, the
// connection is shut down (shutdownSocket, both directions) or `waker` is
// signalled; then reads at most `capacity` bytes. Returns the count (> 0),
// 0 when the peer closed the connection (on POSIX also after a shutdown
// here: the caller tells the two apart by its own stop request),
// kReceiveFailed or kReceiveWoken.
long receive(int s, const Waker& waker, char* buffer, std::size_t capacity);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_SOCKET_H
