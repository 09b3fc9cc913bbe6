// brimsel-client: an interactive client of a daemon.
//
//   brimsel-client <connect string>        for example  brimsel-client daemon://127.0.0.1:7000
//
// Each line typed is sent as one message; each message from the daemon is
// printed as it arrives, on the client's response thread. A connection the
// daemon ends is reported, and the client stops. End the input (Ctrl-D, or
// Ctrl-Z and Enter on Windows) to disconnect and leave.
#include <brimsel/daemoncomm.h>
#include <brimsel/exception.h>

#include <iostream>
#include <mutex>
#include <string>

namespace {

std::mutex console;

void onStatus(Brimsel::DaemonComm::Status status, const std::string& text) {
  std::lock_guard<std::mutex> lock(console);
  if (status == Brimsel::DaemonComm::MESSAGE) {
    std::cout << "< " << text << std::endl;
  } else {
    std::cout << "connection lost:\n" << text << "(press Enter to leave)" << std::endl;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: brimsel-client <connect string>   e.g. daemon://127.0.0.1:7000\n";
    return 2;
  }
  Brimsel::DaemonComm client(onStatus);
  if (!client.parse(argv[1])) {
    std::cerr << "brimsel-client: cannot read the connect string \"" << argv[1]
              << "\" (expected [user:password@]protocol://host:port)\n";
    return 2;
  }
  try {
    client.connect();
  } catch (const Brimsel::Exception& e) {
    std::cerr << "brimsel-client: " << e.legend() << " (" << client.host() << ":" << client.port() << ")\n";
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(console);
    std::cout << "connected to " << client.host() << ":" << client.port()
              << "; type messages, end the input to leave" << std::endl;
  }
  std::string line;
  while (client.isConnected() && std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!client.send(line)) {
      std::lock_guard<std::mutex> lock(console);
      std::cout << "not sent: the connection is gone" << std::endl;
      break;
    }
  }
  const bool wasConnected = client.disconnect();
  return wasConnected ? 0 : 1;
}
