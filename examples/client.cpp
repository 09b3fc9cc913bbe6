// SPDX-License-Identifier: MIT
// brimsel-client: a client of a daemon, typed at or fed through a pipe.
//
//   brimsel-client <connect string>        for example  brimsel-client daemon://127.0.0.1:7000
//
// Each line of the input is sent as one message; each message from the daemon
// is printed as it arrives, on the client's response thread. A connection the
// daemon ends is reported, and the client stops. At the end of the input
// (Ctrl-D, or Ctrl-Z and Enter on Windows, or the end of a pipe) the client
// waits until the daemon has answered every request, or has been quiet for a
// moment, and then disconnects.
//
// Exit status: 0 when the daemon answered every request sent, 1 when the
// connection failed or was lost before, 2 for wrong arguments.
#include <brimsel/daemoncomm.h>
#include <brimsel/exception.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <iostream>
#include <mutex>
#include <string>

namespace {

const char kUsage[] =
    "usage: brimsel-client <connect string>   e.g. brimsel-client daemon://127.0.0.1:7000\n"
    "Sends each line of the input to the daemon and prints its replies.\n";

// How long the client waits, at the end of the input, for a daemon that has
// gone quiet: every reply or failure starts the wait again.
const std::chrono::milliseconds kQuiet(1500);

std::mutex console;  // also guards the counts below
std::condition_variable answered;
std::size_t replies = 0;
bool lost = false;

void onStatus(Brimsel::DaemonComm::Status status, const std::string& text) {
  std::lock_guard<std::mutex> lock(console);
  if (status == Brimsel::DaemonComm::MESSAGE) {
    std::cout << "< " << text << std::endl;
    ++replies;
  } else {
    std::cout << "connection lost:\n" << text << std::flush;
    lost = true;
  }
  answered.notify_all();
}

int usageError(const std::string& problem) {
  std::cerr << "brimsel-client: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc != 2) return usageError(argc < 2 ? "no connect string given" : "too many arguments");
  const std::string where = argv[1];
  if (!where.empty() && where[0] == '-') return usageError("unknown option " + where);
  Brimsel::DaemonComm client(onStatus);
  if (!client.parse(where)) {
    return usageError("cannot read the connect string \"" + where +
                      "\" (expected [user:password@]protocol://host:port)");
  }
  try {
    client.connect();
  } catch (const Brimsel::Exception& e) {
    std::cerr << "brimsel-client: " << e.legend() << " (" << client.host() << ":" << client.port()
              << ")\n";
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(console);
    std::cerr << "connected to " << client.host() << ":" << client.port()
              << "; each line is sent, end the input to leave" << std::endl;
  }
  std::size_t sent = 0;
  std::string line;
  while (client.isConnected() && std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!client.send(line)) {
      std::lock_guard<std::mutex> lock(console);
      std::cout << "not sent: the connection is gone" << std::endl;
      break;
    }
    // An empty message is not delivered, so the daemon does not answer it.
    if (!line.empty()) ++sent;
  }
  {
    // The input has ended: wait for the replies still on their way.
    std::unique_lock<std::mutex> lock(console);
    std::size_t seen = replies;
    while (!lost && replies < sent) {
      if (!answered.wait_for(lock, kQuiet, [&] { return lost || replies != seen; })) break;
      seen = replies;
    }
  }
  client.disconnect();
  std::lock_guard<std::mutex> lock(console);
  return replies >= sent ? 0 : 1;
}
