// SPDX-License-Identifier: MIT
// Windows Sockets for the daemon client: version 1.1 started once, inet_addr
// and gethostbyname for the host, select with ioctlsocket(FIONREAD) before
// each recv. The wake-up channel is a UDP socket connected to itself on
// 127.0.0.1 (select takes sockets only); sending it one datagram ends a
// select that waits on it at once.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/socket.h"

namespace Brimsel {
namespace platform {

namespace {

// The socket value kept in 32 bits, widened with its sign: -1 comes back as
// INVALID_SOCKET.
SOCKET toSocket(int s) { return static_cast<SOCKET>(static_cast<std::intptr_t>(s)); }
int fromSocket(SOCKET s) { return s == INVALID_SOCKET ? -1 : static_cast<int>(s); }

}  // namespace

bool startSockets() {
  WSADATA data;
  return ::WSAStartup(0x0101, &data) == 0;
}

int tcpSocket() { return fromSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

bool resolveIPv4(const std::string& host, unsigned char address[4]) {
  unsigned long direct = ::inet_addr(host.c_str());
  if (direct != INADDR_NONE) {
    std::memcpy(address, &direct, 4);
    return true;
  }
  // gethostbyname keeps its result per thread, so it is safe to call from
  // several threads at once.
  hostent* entry = ::gethostbyname(host.c_str());  // NOLINT(concurrency-mt-unsafe): per thread
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
      entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
    return false;
  std::memcpy(address, entry->h_addr_list[0], 4);
  return true;
}

bool connectIPv4(int s, const unsigned char address[4], int port) {
  sockaddr_in to;
  std::memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = ::htons(static_cast<u_short>(port & 0xFFFF));
  std::memcpy(&to.sin_addr, address, 4);
  return ::connect(toSocket(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) != SOCKET_ERROR;
}

bool sendAll(int s, const char* data, std::size_t length) {
  if (s < 0) return false;
  while (length > 0) {
    int chunk = length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    int n = ::send(toSocket(s), data, chunk, 0);
    if (n == SOCKET_ERROR) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

void shutdownSocket(int s, int how) {
  if (s >= 0) ::shutdown(toSocket(s), how == 1 ? SD_SEND : SD_BOTH);
}

void closeSocket(int s) {
  if (s >= 0) ::closesocket(toSocket(s));
}

void abortSocket(int s) {
  if (s < 0) return;
  ::shutdown(toSocket(s), SD_BOTH);
  // A socket is a file handle: cancelling its I/O from here ends a send
  // that another thread has blocked on it, which shutdown does not.
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the socket is the handle
  ::CancelIoEx(reinterpret_cast<HANDLE>(toSocket(s)), nullptr);
}

bool openWaker(Waker& waker) {
  SOCKET u = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (u == INVALID_SOCKET) return false;
  sockaddr_in at;
  std::memset(&at, 0, sizeof at);
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  int len = sizeof at;
  if (::bind(u, reinterpret_cast<sockaddr*>(&at), sizeof at) == SOCKET_ERROR ||
      ::getsockname(u, reinterpret_cast<sockaddr*>(&at), &len) == SOCKET_ERROR ||
      ::connect(u, reinterpret_cast<sockaddr*>(&at), sizeof at) == SOCKET_ERROR) {
    ::closesocket(u);
    return false;
  }
  waker.receiveEnd = waker.signalEnd = fromSocket(u);
  return true;
}

void signalWaker(const Waker& waker) {
  if (waker.signalEnd < 0) return;
  char byte = 1;
  ::send(toSocket(waker.signalEnd), &byte, 1, 0);
}

void closeWaker(Waker& waker) {
  if (waker.receiveEnd >= 0) ::closesocket(toSocket(waker.receiveEnd));
  waker.receiveEnd = waker.signalEnd = -1;
}

long receive(int s, const Waker& waker, char* buffer, std::size_t capacity) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(toSocket(s), &readable);
  if (waker.receiveEnd >= 0) FD_SET(toSocket(waker.receiveEnd), &readable);
  if (::select(0, &readable, nullptr, nullptr, nullptr) == SOCKET_ERROR) return kReceiveFailed;
  if (waker.receiveEnd >= 0 && FD_ISSET(toSocket(waker.receiveEnd), &readable))
    return kReceiveWoken;
  u_long waiting = 0;
  if (::ioctlsocket(toSocket(s), FIONREAD, &waiting) == SOCKET_ERROR) return kReceiveFailed;
  // Readable with nothing waiting: the peer has closed the connection.
  if (waiting == 0) return 0;
  std::size_t want = waiting < capacity ? static_cast<std::size_t>(waiting) : capacity;
  if (want > static_cast<std::size_t>(INT_MAX)) want = INT_MAX;
  int n = ::recv(toSocket(s), buffer, static_cast<int>(want), 0);
  return n == SOCKET_ERROR ? kReceiveFailed : n;
}

}  // namespace platform
}  // namespace Brimsel
