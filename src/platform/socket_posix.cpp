// SPDX-License-Identifier: MIT
// POSIX sockets for the daemon client: getaddrinfo (thread-safe) for names,
// MSG_NOSIGNAL so that writing to a connection the peer has closed gives an
// error instead of SIGPIPE, a blocking recv woken by shutdown() (closing a
// socket does not wake a thread that waits on it), and poll (no limit on
// descriptor numbers) for an interrupted connect.
#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstring>

#include "platform/socket.h"

namespace Brimsel {
namespace platform {

bool startSockets() { return true; }

int tcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

bool resolveIPv4(const std::string& host, unsigned char address[4]) {
  in_addr_t direct = ::inet_addr(host.c_str());
  if (direct != INADDR_NONE) {
    std::memcpy(address, &direct, 4);
    return true;
  }
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) return false;
  bool found = false;
  for (addrinfo* p = result; p != nullptr; p = p->ai_next) {
    if (p->ai_family == AF_INET && p->ai_addrlen >= sizeof(sockaddr_in)) {
      const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(p->ai_addr);
      std::memcpy(address, &in->sin_addr, 4);
      found = true;
      break;
    }
  }
  ::freeaddrinfo(result);
  return found;
}

bool connectIPv4(int s, const unsigned char address[4], int port) {
  sockaddr_in to;
  std::memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
  std::memcpy(&to.sin_addr, address, 4);
  for (;;) {
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (errno != EINTR) return false;
    // An interrupted connect goes on in the background; wait for its outcome.
    pollfd p = {s, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0) {
      if (errno != EINTR) return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    return ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
  }
}

bool sendAll(int s, const char* data, std::size_t length) {
  if (s < 0) return false;
  while (length > 0) {
    ssize_t n = ::send(s, data, length, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

void shutdownSocket(int s, int how) {
  if (s >= 0) ::shutdown(s, how == 1 ? SHUT_WR : SHUT_RDWR);
}

void closeSocket(int s) {
  if (s >= 0) ::close(s);
}

// shutdown() ends a recv or send blocked on the socket in any thread.
void abortSocket(int s) { shutdownSocket(s, 2); }

bool openWaker(Waker& waker) {
  waker.receiveEnd = waker.signalEnd = -1;
  return true;
}

void signalWaker(const Waker&) {}

void closeWaker(Waker& waker) { waker.receiveEnd = waker.signalEnd = -1; }

long receive(int s, const Waker&, char* buffer, std::size_t capacity) {
  // One blocking recv: no poll before it, so a message costs one system call.
  // shutdown() by another thread ends it with 0.
  for (;;) {
    ssize_t n = ::recv(s, buffer, capacity, 0);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return kReceiveFailed;
  }
}

}  // namespace platform
}  // namespace Brimsel
