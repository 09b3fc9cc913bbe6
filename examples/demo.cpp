// SPDX-License-Identifier: MIT
// brimsel-demo: a short tour of the library for a person at a terminal.
//
//   brimsel-demo [file]
//
// It shows the library's identity, the time now, a template filled from a
// VariableMap, the CRC-32 of a file (the program itself when none is named),
// the event log, and a round trip to the example daemon: the daemon runs on a
// thread of this program on a free loopback port, and a DaemonComm talks to
// it. Everything it starts it also stops. It exits 0 when every step worked,
// 1, saying why, when one did not, and 2 for wrong arguments.
#include <brimsel/brimsel.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "echo_daemon.h"

#if !defined(_WIN32)
#include <filesystem>
#endif

namespace {

using Brimsel::DaemonComm;
using Brimsel::EventLogger;
using Brimsel::Variant;

// How long the demo waits for each reply of the daemon; the template of the
// demo names it as well.
const double kReplySeconds = 7.5;

// The response thread prints replies while the main thread prints requests.
std::mutex console;

void line(const std::string& text) {
  std::lock_guard<std::mutex> lock(console);
  std::cout << text << std::endl;
}

std::string indented(const std::string& text, const std::string& margin) {
  std::istringstream in(text);
  std::string out;
  std::string row;
  while (std::getline(in, row)) out += margin + row + "\n";
  return out;
}

// --- the library and the clock ---

void showLibrary() {
  line("The library");
  line("  product    " + Brimsel::product());
  line("  version    " + Brimsel::version().text());
  line("  copyright  " + Brimsel::copyright());
  line("");
}

void showTime() {
  line("Time now (a Timestamp, to the second)");
  line("  UTC    " + Brimsel::Timestamp::now(Brimsel::UTC).asText());
  line("  local  " + Brimsel::Timestamp::now(Brimsel::LOCAL).asText());
  line("");
}

// --- templates ---

std::string fillTemplate(int requests) {
  line("A template filled from a VariableMap of Variants");
  const Brimsel::VariableMap variables{
      {"greeting", Variant(std::string("Hello from $(product)"))},
      {"product", Variant(Brimsel::product())},
      {"version", Variant(Brimsel::version().text())},
      {"requests", Variant(requests)},
      {"timeout", Variant(kReplySeconds)},
      {"today", Variant(Brimsel::Date::now(Brimsel::LOCAL))},
  };
  const char* const kinds[] = {"none", "int",  "double",    "string",
                               "Date", "Time", "Timestamp", "binary"};
  for (const auto& variable : variables) {
    const Variant::VariantType type = variable.second.type();
    std::string shown = variable.second.toString();
    if (type == Variant::vtString) shown = "\"" + shown + "\"";
    std::string name = variable.first;
    name.resize(10, ' ');
    line("  " + name + shown + "  (" + kinds[type] + ")");
  }
  const std::string text =
      "$(greeting) $(version): $(requests) requests, each answered within $(timeout) s, on "
      "$(today)";
  const std::string filled = Brimsel::expand(text, variables);
  line("  template  \"" + text + "\"");
  line("  filled    \"" + filled + "\"");
  try {
    Brimsel::expand("$(nobody)", variables);
    line("  a missing variable was not reported");
  } catch (const Brimsel::Exception& e) {
    line("  \"$(nobody)\" raises Exception " + std::to_string(e.errorCode()) + " \"" +
         Brimsel::Exception::explainErrorCode(e.errorCode()) + "\" with the legend \"" +
         e.legend() + "\"");
  }
  line("");
  return filled;
}

// --- CRC-32 ---

bool showCrc(const std::string& path) {
  line("CRC-32");
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) {
    line("  cannot read " + path);
    line("");
    return false;
  }
  // Read in pieces: the register carries over from one call to the next.
  Brimsel::CrcRegister crc = 0xFFFFFFFFu;
  std::vector<unsigned char> piece(64 * 1024);
  unsigned long long size = 0;
  while (in) {
    in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    crc = Brimsel::crc32(crc, piece.data(), static_cast<Brimsel::CrcRegister>(got));
    size += static_cast<unsigned long long>(got);
  }
  if (in.bad()) {
    line("  reading " + path + " failed");
    line("");
    return false;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(crc));
  line("  " + path);
  line("  " + std::to_string(size) + " bytes, CRC-32/MPEG-2 " + hex);
  line("");
  return true;
}

// --- the event log ---

struct LogCount {
  int tried = 0;
  int written = 0;
};

void logMessage(EventLogger& logger, LogCount& count, const std::string& text) {
  ++count.tried;
  if (logger.logMessage(text, EventLogger::LAYER_CLIENT)) ++count.written;
}

void showEventLog(EventLogger& logger, LogCount& count) {
  line("The event log");
#if defined(_WIN32)
  line("  Entries go to the Application event log under the source \"brimsel-demo\".");
#else
  std::error_code ignored;
  if (std::filesystem::exists("/dev/log", ignored)) {
    line(
        "  /dev/log exists: entries go to syslog (facility user) under the source "
        "\"brimsel-demo\"");
    line("  (see journalctl -t brimsel-demo, or /var/log/syslog).");
  } else {
    line("  There is no /dev/log here (no syslog daemon serves it), so entries are not written:");
    line("  the logger's writers return false, and the demo goes on without them.");
  }
#endif
  logger.setLevel(EventLogger::LEVEL_MESSAGE);
  logMessage(logger, count, "brimsel-demo started");
  line(std::string("  \"brimsel-demo started\" ") +
       (count.written == 1 ? "written" : "not written"));
  line("");
}

// --- the daemon round trip ---

// What the client's status callback has received, for the main thread to
// wait on. The callback is a plain function, so this is reached through a
// pointer of the file's own.
struct Inbox {
  std::mutex mx;
  std::vector<std::string> messages;
  std::vector<std::string> failures;
  Brimsel::Semaphore arrived;
};
Inbox* inbox = nullptr;

void onStatus(DaemonComm::Status status, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(console);
    if (status == DaemonComm::MESSAGE) {
      std::cout << "  < " << text << std::endl;
    } else {
      std::cout << "  ! the connection is gone; the client reports:\n"
                << indented(text, "      ") << std::flush;
    }
  }
  {
    std::lock_guard<std::mutex> lock(inbox->mx);
    (status == DaemonComm::MESSAGE ? inbox->messages : inbox->failures).push_back(text);
  }
  inbox->arrived.signal(false);
}

// Waits until the inbox holds `messages` messages and `failures` failures,
// at most kReplySeconds. A signal that comes between the look and the wait
// stays pending, so none is missed.
bool waitFor(std::size_t messages, std::size_t failures) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<long long>(kReplySeconds * 1000));
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(inbox->mx);
      if (inbox->messages.size() >= messages && inbox->failures.size() >= failures) return true;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    const long long left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    inbox->arrived.wait(static_cast<unsigned long>(left) + 1);
  }
}

// Runs the daemon on a thread of its own; stops it and waits for it on the
// way out, whatever happened meanwhile.
class DaemonThread {
 public:
  DaemonThread() : _daemon([this](const std::string& text) { _lines.push_back(text); }) {}
  ~DaemonThread() { stop(); }

  bool start(std::string& error) {
    if (!_daemon.listen("127.0.0.1", 0, error)) return false;
    _thread = std::thread([this] { _daemon.run(); });
    return true;
  }
  void stop() {
    _daemon.stop();
    if (_thread.joinable()) _thread.join();
  }
  int port() const { return _daemon.port(); }
  // What the daemon reported; complete once stop() has returned.
  const std::vector<std::string>& lines() const { return _lines; }

 private:
  std::vector<std::string> _lines;
  EchoDaemon _daemon;
  std::thread _thread;
};

bool roundTrip(const std::vector<std::string>& requests, EventLogger& logger, LogCount& count) {
  line("A round trip to the example daemon");
  DaemonThread daemon;
  std::string error;
  if (!daemon.start(error)) {
    line("  the daemon did not start: " + error);
    return false;
  }
  const std::string where = "daemon://127.0.0.1:" + std::to_string(daemon.port());
  line("  the example daemon listens on a free port; the connect string is " + where);

  Inbox box;
  inbox = &box;
  bool ok = true;
  {
    DaemonComm client(onStatus);
    if (!client.parse(where)) {
      line("  the connect string was not understood");
      ok = false;
    } else {
      try {
        client.connect();
        line("  connected to " + client.host() + ":" + std::to_string(client.port()));
        logMessage(logger, count, "brimsel-demo connected to " + where);
      } catch (const Brimsel::Exception& e) {
        line("  connect failed: " + e.legend());
        ok = false;
      }
    }
    // One request at a time, each reply awaited before the next goes out.
    for (std::size_t i = 0; ok && i < requests.size(); ++i) {
      line("  > " + requests[i]);
      if (!client.send(requests[i])) {
        line("  the request was not sent");
        ok = false;
      } else if (!waitFor(i + 1, 0)) {
        line("  no reply within " + Variant(kReplySeconds).toString() + " s");
        ok = false;
      }
    }
    if (ok) {
      // quit ends the daemon: it answers, then closes every connection, which
      // the client reports as a failure.
      line("  > quit");
      if (!client.send("quit") || !waitFor(requests.size() + 1, 1)) {
        line("  the daemon did not answer and close the connection within " +
             Variant(kReplySeconds).toString() + " s");
        ok = false;
      } else {
        logMessage(logger, count, "brimsel-demo: the daemon closed the connection, as asked");
      }
    }
    // Ends the connection if it is still open, and waits for the response
    // thread either way.
    const bool wasOpen = client.disconnect();
    line(std::string("  disconnected") +
         (wasOpen ? "" : " (the daemon had closed the connection)") +
         "; the client's response thread has ended");
  }
  inbox = nullptr;
  daemon.stop();
  line("  the daemon has stopped; what it reported:");
  for (const std::string& text : daemon.lines()) line("    " + text);
  line("");
  return ok;
}

}  // namespace

const char kUsage[] =
    "usage: brimsel-demo [file]   (shows the library at work; the CRC-32 is of the file, or of the "
    "demo)\n";

int main(int argc, char** argv) {
  if (argc > 1 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1] != '\0')) {
    std::cerr << "brimsel-demo: "
              << (argc > 2 ? "too many arguments" : "unknown option " + std::string(argv[1]))
              << "\n"
              << kUsage;
    return 2;
  }
  line("Brimsel demo");
  line("============");
  line("");
  bool ok = true;
  try {
    showLibrary();
    showTime();
    // The requests: a greeting, a ping, the filled template, and quit.
    const std::string filled = fillTemplate(4);
    const std::vector<std::string> requests = {"hello, daemon", "ping", filled};
    ok = showCrc(argc > 1 ? argv[1] : argv[0]) && ok;

    EventLogger logger("brimsel-demo");
    LogCount count;
    showEventLog(logger, count);
    ok = roundTrip(requests, logger, count) && ok;
    logMessage(logger, count, "brimsel-demo finished");
    line(std::to_string(count.written) + " of " + std::to_string(count.tried) +
         " event log entries written.");
  } catch (const Brimsel::Exception& e) {
    std::ostringstream text;
    text << e;
    line("Unexpected exception:\n" + indented(text.str(), "  "));
    ok = false;
  }
  line(ok ? "Done." : "Something did not work; see above.");
  return ok ? 0 : 1;
}
