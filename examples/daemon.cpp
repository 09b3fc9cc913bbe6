// brimsel-daemon: a small daemon to try the daemon client against by hand.
//
//   brimsel-daemon [port] [address]      (defaults: 7000 127.0.0.1)
//
// It serves any number of clients at once. Every message a client sends (its
// text followed by the byte 0x04) is answered with the same text, followed by
// 0x04, except for two commands:
//   ping   answered with "pong"
//   quit   answered with "bye"; then the daemon closes every connection and
//          ends, so that the clients see their connection lost.
// What it receives and sends is printed on standard output.
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET Socket;
#define closeSocket closesocket
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
typedef int Socket;
const Socket INVALID_SOCKET = -1;
#define closeSocket close
#endif

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> quitting(false);
std::mutex guard;            // the console and the set of clients
std::set<Socket> clients;

void say(const std::string& line) {
  std::lock_guard<std::mutex> lock(guard);
  std::cout << line << std::endl;
}

// Shows the bytes of a message, with control bytes written as \xNN.
std::string visible(const std::string& text) {
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

bool sendAll(Socket s, const std::string& bytes) {
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

void serve(Socket s, int id) {
  const std::string who = "client " + std::to_string(id);
  say(who + " connected");
  std::string pending;
  char buffer[4096];
  for (;;) {
    int n = static_cast<int>(::recv(s, buffer, sizeof buffer, 0));
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::string::size_type end;
    while ((end = pending.find('\x04')) != std::string::npos) {
      std::string message = pending.substr(0, end);
      pending.erase(0, end + 1);
      say(who + " > " + visible(message));
      std::string reply = message == "ping" ? "pong" : message == "quit" ? "bye" : message;
      if (!sendAll(s, reply + '\x04')) break;
      say(who + " < " + visible(reply));
      if (message == "quit") quitting = true;
    }
  }
  {
    std::lock_guard<std::mutex> lock(guard);
    clients.erase(s);
  }
  closeSocket(s);
  say(who + " gone");
}

bool waitForClient(Socket listener) {
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

}  // namespace

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7000;
  const char* address = argc > 2 ? argv[2] : "127.0.0.1";
  if (port < 1 || port > 65535) {
    std::cerr << "usage: brimsel-daemon [port] [address]\n";
    return 2;
  }
#if defined(_WIN32)
  WSADATA data;
  if (::WSAStartup(0x0202, &data) != 0) {
    std::cerr << "brimsel-daemon: Windows Sockets did not start\n";
    return 1;
  }
#endif
  Socket listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at;
  std::memset(&at, 0, sizeof at);
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<unsigned short>(port));
  at.sin_addr.s_addr = ::inet_addr(address);
  int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  if (listener == INVALID_SOCKET || ::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(listener, 16) != 0) {
    std::cerr << "brimsel-daemon: cannot listen on " << address << ":" << port << "\n";
    return 1;
  }
  say(std::string("listening on ") + address + ":" + std::to_string(port) +
      " (messages end with 0x04; send ping or quit)");

  std::vector<std::thread> threads;
  int next = 1;
  while (!quitting) {
    if (!waitForClient(listener)) continue;
    Socket s = ::accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    {
      std::lock_guard<std::mutex> lock(guard);
      clients.insert(s);
    }
    threads.emplace_back(serve, s, next++);
  }
  closeSocket(listener);
  {
    // Shutting the clients' connections down ends their threads' reads;
    // each thread closes its own socket.
    std::lock_guard<std::mutex> lock(guard);
    for (Socket s : clients) ::shutdown(s, 2);
  }
  for (std::thread& t : threads) t.join();
  say("quit");
  return 0;
}
