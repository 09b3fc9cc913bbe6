// SPDX-License-Identifier: MIT
// brimsel-daemon: a small daemon to try the daemon client against by hand.
//
//   brimsel-daemon [port] [address]      (defaults: 7000 127.0.0.1)
//
// The address is a dotted IPv4 address or a host name such as localhost.
// Port 0 lets the system choose a free port; the first line says which. It
// serves any number of clients at once. Every message a client sends (its
// text followed by the byte 0x04) is answered with the same text, followed by
// 0x04, except for two commands:
//   ping   answered with "pong"
//   quit   answered with "bye"; then the daemon closes every connection and
//          ends, so that the clients see their connection lost.
// What it receives and sends is printed on standard output.
//
// Exit status: 0 after a quit, 1 when it cannot listen, 2 for wrong arguments.
#include <iostream>
#include <string>

#include "echo_daemon.h"

namespace {

const char kUsage[] =
    "usage: brimsel-daemon [port] [address]   (defaults: 7000 127.0.0.1; port 0 picks a free one)\n"
    "Answers every message with its text, ping with pong, and quit with bye before it ends.\n";

int usageError(const std::string& problem) {
  std::cerr << "brimsel-daemon: " << problem << "\n" << kUsage;
  return 2;
}

// The port as a number of 0..65535, or -1 when the text is anything else.
int portNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  const int port = std::stoi(text);
  return port <= 65535 ? port : -1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-') return usageError("unknown option " + arg);
  }
  if (argc > 3) return usageError("too many arguments");
  const int port = argc > 1 ? portNumber(argv[1]) : 7000;
  if (port < 0)
    return usageError("the port \"" + std::string(argv[1]) + "\" is no number of 0..65535");
  const std::string address = argc > 2 ? argv[2] : "127.0.0.1";
  EchoDaemon daemon([](const std::string& line) { std::cout << line << std::endl; });
  std::string error;
  if (!daemon.listen(address, port, error)) {
    std::cerr << "brimsel-daemon: " << error << "\n";
    return 1;
  }
  daemon.run();
  return 0;
}
