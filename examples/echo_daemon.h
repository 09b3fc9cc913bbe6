// SPDX-License-Identifier: MIT
// EchoDaemon: the small daemon of the example programs, to try the daemon
// client against. brimsel-daemon runs it on its own; brimsel-demo runs it on a
// thread next to the client.
//
// It speaks the daemon protocol over TCP: every message is its text followed
// by the byte 0x04, in both directions. It serves any number of clients at
// once, each on a thread of its own, and answers every message with the same
// text, except for two commands:
//   ping   answered with "pong"
//   quit   answered with "bye"; then the daemon closes every connection and
//          run() returns, so that the clients see their connection lost.
// What it does (clients coming and going, what it receives and sends) is
// reported line by line to the sink given at construction, one line at a
// time.
//
// It is plain sockets on purpose: the daemon side of the protocol is not part
// of the library, and this shows how little a daemon needs.
#ifndef BRIMSEL_EXAMPLES_ECHO_DAEMON_H
#define BRIMSEL_EXAMPLES_ECHO_DAEMON_H

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class EchoDaemon {
 public:
#if defined(_WIN32)
  typedef SOCKET Socket;
#else
  typedef int Socket;
#endif
  // Receives each line the daemon reports; called by one thread at a time.
  typedef std::function<void(const std::string&)> Sink;

  explicit EchoDaemon(Sink sink)
      : _sink(std::move(sink)), _listener(invalid()), _port(0), _quitting(false) {}

  // Closes the listening socket when run() has not; run() must have returned.
  ~EchoDaemon() {
    if (_listener != invalid()) closeSocket(_listener);
#if defined(_WIN32)
    if (_bStarted) ::WSACleanup();
#endif
  }

  EchoDaemon(const EchoDaemon&) = delete;
  EchoDaemon& operator=(const EchoDaemon&) = delete;

  // Listens on `address` (a dotted IPv4 address or a host name, of which the
  // first IPv4 address is taken) and `port`; port 0 lets the system choose a
  // free one, which port() then tells. On failure returns false and says why
  // in `error`.
  bool listen(const std::string& address, int port, std::string& error) {
#if defined(_WIN32)
    WSADATA data;
    if (!_bStarted) {
      if (::WSAStartup(0x0202, &data) != 0) {
        error = "Windows Sockets did not start";
        return false;
      }
      _bStarted = true;
    }
#endif
    if (port < 0 || port > 65535) {
      error = "the port " + std::to_string(port) + " is outside 0..65535";
      return false;
    }
    sockaddr_in at;
    if (!resolve(address, at)) {
      error = "\"" + address + "\" is neither a dotted IPv4 address nor a host name with one";
      return false;
    }
    at.sin_port = htons(static_cast<unsigned short>(port));
    Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == invalid()) {
      error = "cannot create a socket";
      return false;
    }
    // A daemon restarted at once may take its port back from the connections
    // of its previous run.
    int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    AddressLength length = sizeof at;
    if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(s, 16) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
      closeSocket(s);
      error = "cannot listen on " + address + ":" + std::to_string(port);
      return false;
    }
    _listener = s;
    _address = address;
    _port = ntohs(at.sin_port);
    return true;
  }

  // The port listened on; 0 before listen() succeeded.
  int port() const { return _port; }

  // Serves clients until one sends quit or stop() is called; then closes
  // every connection and returns once all of their threads have ended.
  void run() {
    say("listening on " + _address + ":" + std::to_string(_port) +
        " (messages end with 0x04; send ping or quit)");
    std::vector<std::thread> threads;
    int next = 1;
    while (!_quitting) {
      // A short wait, so that a quit or stop() is seen soon.
      if (!waitForClient(_listener)) continue;
      Socket s = ::accept(_listener, nullptr, nullptr);
      if (s == invalid()) continue;
      {
        std::lock_guard<std::mutex> lock(_guard);
        _clients.insert(s);
      }
      threads.emplace_back(&EchoDaemon::serve, this, s, next++);
    }
    closeSocket(_listener);
    _listener = invalid();
    {
      // Shutting the clients' connections down ends their threads' reads;
      // each thread closes its own socket.
      std::lock_guard<std::mutex> lock(_guard);
      for (Socket s : _clients) ::shutdown(s, 2);
    }
    for (std::thread& t : threads) t.join();
    say("quit");
  }

  // Asks run() to end, as a quit from a client does; any thread may call it.
  void stop() { _quitting = true; }

 private:
#if defined(_WIN32)
  typedef int AddressLength;
  static Socket invalid() { return INVALID_SOCKET; }
  static void closeSocket(Socket s) { ::closesocket(s); }
#else
  typedef socklen_t AddressLength;
  static Socket invalid() { return -1; }
  static void closeSocket(Socket s) { ::close(s); }
#endif

  // The first IPv4 address of `host`; getaddrinfo reads dotted addresses too.
  static bool resolve(const std::string& host, sockaddr_in& at) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::memcpy(&at, found->ai_addr, sizeof at);
    ::freeaddrinfo(found);
    return true;
  }

  void say(const std::string& line) {
    std::lock_guard<std::mutex> lock(_guard);
    if (_sink) _sink(line);
  }

  // Shows the bytes of a message, with control bytes written as \xNN.
  static std::string visible(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
      if (c < 0x20 || c == 0x7F) {
        out += "\\x";
        out += digits[c >> 4];
        out += digits[c & 15];
      } else {
        out += static_cast<char>(c);
      }
    }
    return out;
  }

  static bool sendAll(Socket s, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
#if defined(_WIN32)
      int n = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
#else
      long n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
#endif
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  static bool waitForClient(Socket listener) {
#if defined(_WIN32)
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval tv = {0, 200000};
    return ::select(0, &readable, nullptr, nullptr, &tv) > 0;
#else
    pollfd p = {listener, POLLIN, 0};
    return ::poll(&p, 1, 200) > 0;
#endif
  }

  void serve(Socket s, int id) {
    const std::string who = "client " + std::to_string(id);
    say(who + " connected");
    std::string pending;
    char buffer[4096];
    bool open = true;
    while (open) {
      int n = static_cast<int>(::recv(s, buffer, sizeof buffer, 0));
      if (n <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(n));
      std::string::size_type end;
      while (open && (end = pending.find('\x04')) != std::string::npos) {
        std::string message = pending.substr(0, end);
        pending.erase(0, end + 1);
        say(who + " > " + visible(message));
        std::string reply = message == "ping" ? "pong" : message == "quit" ? "bye" : message;
        if (!sendAll(s, reply + '\x04')) {
          open = false;
          break;
        }
        say(who + " < " + visible(reply));
        if (message == "quit") _quitting = true;
      }
    }
    {
      std::lock_guard<std::mutex> lock(_guard);
      _clients.erase(s);
    }
    closeSocket(s);
    say(who + " gone");
  }

  Sink _sink;
  Socket _listener;
  std::string _address;
  int _port;
  std::atomic<bool> _quitting;
  std::mutex _guard;  // the sink and the set of clients
  std::set<Socket> _clients;
#if defined(_WIN32)
  bool _bStarted = false;
#endif
};

#endif  // BRIMSEL_EXAMPLES_ECHO_DAEMON_H
