// brimsel-daemon: a small daemon to try the daemon client against by hand.
//
//   brimsel-daemon [port] [address]      (defaults: 7000 127.0.0.1)
//
// Port 0 lets the system choose a free port; the first line says which. It
// serves any number of clients at once. Every message a client sends (its
// text followed by the byte 0x04) is answered with the same text, followed by
// 0x04, except for two commands:
//   ping   answered with "pong"
//   quit   answered with "bye"; then the daemon closes every connection and
//          ends, so that the clients see their connection lost.
// What it receives and sends is printed on standard output.
#include "echo_daemon.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7000;
  const std::string address = argc > 2 ? argv[2] : "127.0.0.1";
  EchoDaemon daemon([](const std::string& line) { std::cout << line << std::endl; });
  std::string error;
  if (!daemon.listen(address, port, error)) {
    std::cerr << "brimsel-daemon: " << error << "\n"
              << "usage: brimsel-daemon [port] [address]\n";
    return port < 0 || port > 65535 ? 2 : 1;
  }
  daemon.run();
  return 0;
}
