// SPDX-License-Identifier: MIT
// Sockets pass as ints: Winsock's SOCKET converts both ways, INVALID_SOCKET
// to and from -1.
#include "loopback.h"

#include <stdexcept>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#define MSG_NOSIGNAL 0  // Winsock raises no signal
#define poll WSAPoll
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
static int closesocket(int s) { return ::close(s); }
#endif

namespace support {

// A new TCP socket and the address of `port` on 127.0.0.1.
static int tcpSocket(sockaddr_in& at, int port) {
#if defined(_WIN32)
  static WSADATA data;
  [[maybe_unused]] static const int started = WSAStartup(MAKEWORD(2, 2), &data);  // once
#endif
  at = {};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(static_cast<unsigned short>(port));
  return static_cast<int>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

int listenLoopback(int& port) {
  sockaddr_in at;
  socklen_t length = sizeof at;
  const int s = tcpSocket(at, 0);
  if (s != -1 && ::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      ::listen(s, 16) == 0 && ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) == 0) {
    port = ntohs(at.sin_port);
    return s;
  }
  closeSocket(s);
  return -1;
}

int acceptConnection(int listener, int timeoutMs) {
  if (!waitForData(listener, timeoutMs)) return -1;
  const int on = 1, s = static_cast<int>(::accept(listener, nullptr, nullptr));
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;  // -1 when accept failed, which setsockopt then only reported
}

int connectLoopback(int port) {
  sockaddr_in at;
  const int s = tcpSocket(at, port);
  if (s != -1 && ::connect(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0) return s;
  closeSocket(s);
  return -1;
}

bool waitForData(int s, int timeoutMs) {
  pollfd p = {static_cast<decltype(pollfd::fd)>(s), POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

long receiveBlocking(int s, char* buffer, std::size_t capacity) {
  return ::recv(s, buffer, capacity, 0);
}

bool sendAll(int s, const char* data, std::size_t length) {
  for (long n = 0; length > 0; data += n, length -= static_cast<std::size_t>(n))
    if ((n = ::send(s, data, length, MSG_NOSIGNAL)) <= 0) return false;
  return true;
}

void closeSocket(int s) {
  if (s != -1) closesocket(s);
}

void Peer::close() const { ::shutdown(_s, 1); }  // SHUT_WR, SD_SEND

void Peer::reset() {
  const linger l = {1, 0};
  ::setsockopt(_s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
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
  for (std::size_t end; got.size() < count; _pending.erase(0, end + 1)) {
    while ((end = _pending.find('\x04')) == std::string::npos)
      if (receive() <= 0) return got;
    got.push_back(_pending.substr(0, end));
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
