// SPDX-License-Identifier: MIT
#include "loopback.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using Length = int;
static SOCKET raw(int s) { return static_cast<SOCKET>(static_cast<std::intptr_t>(s)); }
static int own(SOCKET s) { return s == INVALID_SOCKET ? -1 : static_cast<int>(s); }
static int chunk(std::size_t n) { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }
static const int kNoSignal = 0;
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using Length = socklen_t;
static int raw(int s) { return s; }
static int own(int s) { return s; }
static std::size_t chunk(std::size_t n) { return n; }
static const int kNoSignal = MSG_NOSIGNAL;
static int closesocket(int s) { return ::close(s); }
#endif

namespace support {

static sockaddr_in loopback(int port) {
#if defined(_WIN32)
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
#endif
  sockaddr_in at;
  std::memset(&at, 0, sizeof at);
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(static_cast<unsigned short>(port));
  return at;
}

int listenLoopback(int& port) {
  sockaddr_in at = loopback(0);
  Length len = sizeof at;
  const int s = own(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s != -1 && ::bind(raw(s), reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      ::listen(raw(s), 16) == 0 &&
      ::getsockname(raw(s), reinterpret_cast<sockaddr*>(&at), &len) == 0) {
    port = ntohs(at.sin_port);
    return s;
  }
  closeSocket(s);
  return -1;
}

int acceptConnection(int listener, int timeoutMs) {
  const int s =
      waitForData(listener, timeoutMs) ? own(::accept(raw(listener), nullptr, nullptr)) : -1;
  const int on = 1;
  if (s != -1)
    ::setsockopt(raw(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

int connectLoopback(int port) {
  const sockaddr_in at = loopback(port);
  const int s = own(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s != -1 && ::connect(raw(s), reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0)
    return s;
  closeSocket(s);
  return -1;
}

bool waitForData(int s, int timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(raw(s), &readable);
  timeval tv = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(s + 1, &readable, nullptr, nullptr, &tv) > 0;
}

long receiveBlocking(int s, char* buffer, std::size_t capacity) {
  return ::recv(raw(s), buffer, chunk(capacity), 0);
}

bool sendAll(int s, const char* data, std::size_t length) {
  for (long n = 0; length > 0; data += n, length -= static_cast<std::size_t>(n)) {
    if ((n = ::send(raw(s), data, chunk(length), kNoSignal)) <= 0) return false;
  }
  return true;
}

void closeSocket(int s) {
  if (s != -1) closesocket(raw(s));
}

Peer& Peer::operator=(Peer&& o) noexcept {
  std::swap(_s, o._s);
  return *this;
}

void Peer::close() const { ::shutdown(raw(_s), 1); }  // SHUT_WR, SD_SEND

void Peer::reset() {
  const linger l = {1, 0};
  ::setsockopt(raw(_s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  closeSocket(std::exchange(_s, -1));
}

// The count read, 0 at the other side's close, -1 on failure, -2 when nothing came.
long Peer::receive() {
  char buffer[65536];
  const long n = waitForData(_s, 10000) ? receiveBlocking(_s, buffer, sizeof buffer) : -2;
  if (n > 0) _pending.append(buffer, static_cast<std::size_t>(n));
  return n;
}

std::vector<std::string> Peer::messages(std::size_t count) {
  std::vector<std::string> got;
  for (std::size_t end; got.size() < count;) {
    if ((end = _pending.find('\x04')) != std::string::npos) {
      got.push_back(_pending.substr(0, end));
      _pending.erase(0, end + 1);
    } else if (receive() <= 0) {
      break;
    }
  }
  return got;
}

bool Peer::closedByClient() {
  long n;
  while ((n = receive()) > 0) _pending.clear();
  return n != -2;
}

LoopbackServer::LoopbackServer() : _listener(listenLoopback(_port)) {
  if (_listener == -1) throw std::runtime_error("cannot listen on 127.0.0.1");
}

}  // namespace support
