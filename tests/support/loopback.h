// SPDX-License-Identifier: MIT
// A test server on 127.0.0.1 with plain sockets of its own (POSIX or
// Winsock), for the daemon client's tests and the benchmarks. Sockets are
// ints, -1 for none; every wait is bounded.
#ifndef BRIMSEL_TESTS_SUPPORT_LOOPBACK_H
#define BRIMSEL_TESTS_SUPPORT_LOOPBACK_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace support {

int listenLoopback(int& port);                      // at a free port, stored in `port`
int acceptConnection(int listener, int timeoutMs);  // small writes go out at once
int connectLoopback(int port);                      // a plain client connection
bool waitForData(int s, int timeoutMs);             // bytes or the peer's close to read
long receiveBlocking(int s, char* buffer, std::size_t capacity);  // 0 at the peer's close
bool sendAll(int s, const char* data, std::size_t length);
void closeSocket(int s);

// One connection, closed when it goes; messages end at 0x04. Handed on by
// assignment only (a returned Peer needs no move).
class Peer {
 public:
  explicit Peer(int s = -1) : _s(s) {}
  Peer& operator=(Peer&& o) noexcept {
    std::swap(_s, o._s);
    return *this;
  }
  ~Peer() { closeSocket(_s); }
  int socket() const { return _s; }
  bool write(const std::string& bytes) const { return sendAll(_s, bytes.data(), bytes.size()); }
  // The next `count` messages, terminators removed; fewer when the other side
  // closed or nothing came for ten seconds.
  std::vector<std::string> messages(std::size_t count);
  bool closedByClient();  // within ten seconds; what it sends is dropped
  void close() const;     // the client reads the end of the stream
  void reset();           // the client sees a reset

 private:
  long receive();
  int _s;
  std::string _pending;
};

// Listens at construction (std::runtime_error when it cannot).
class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer() { closeSocket(_listener); }
  int port() const { return _port; }
  Peer accept(int timeoutMs = 10000) const { return Peer(acceptConnection(_listener, timeoutMs)); }

 private:
  int _port = 0, _listener;
};

}  // namespace support

#endif  // BRIMSEL_TESTS_SUPPORT_LOOPBACK_H
