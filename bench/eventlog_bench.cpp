// SPDX-License-Identifier: MIT
// EventLogger speed, side by side with its yardsticks in one run:
//  - a call that the level filters out vs an empty function called out of
//    line (target: within 3x);
//  - one entry written to the syslog socket vs glibc's syslog(3) writing the
//    same text to the same socket (target: within 1.3x).
// syslog(3) always writes to /dev/log, so that is the socket both use: when
// no system daemon owns it, the benchmark serves it itself (reading and
// dropping every datagram on a thread of its own) and removes it at the end;
// when a system daemon owns it, the entry benchmarks are skipped rather than
// flooding the system log.
#include <benchmark/benchmark.h>
#include <brimsel/eventlogger.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "eventlogger_internal.h"

using Brimsel::EventLogger;

namespace {

const char kSocket[] = "/dev/log";

// A reader of /dev/log that drops what it reads, for as long as the program runs.
class SocketSink {
 public:
  SocketSink() {
    struct stat st;
    if (lstat(kSocket, &st) == 0) {
      _error = "a system syslog daemon serves /dev/log; not flooding its log";
      return;
    }
    _fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, kSocket);
    if (_fd < 0 || bind(_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      _error = std::string("cannot serve /dev/log: ") + std::strerror(errno);
      return;
    }
    _bound = true;
    chmod(kSocket, 0666);
    _reader = std::thread([this] { drain(); });
  }
  ~SocketSink() {
    _stop.store(true);
    if (_reader.joinable()) {
      _reader.join();
    }
    if (_bound) {
      unlink(kSocket);
    }
    if (_fd >= 0) {
      close(_fd);
    }
  }
  const std::string& error() const { return _error; }
  long received() const { return _received.load(); }

 private:
  void drain() {
    char buffer[65536];
    while (!_stop.load()) {
      pollfd p = {_fd, POLLIN, 0};
      if (poll(&p, 1, 100) > 0 && recv(_fd, buffer, sizeof buffer, 0) > 0) {
        _received.fetch_add(1);
      }
    }
  }

  int _fd = -1;
  bool _bound = false;
  std::string _error;
  std::atomic<bool> _stop{false};
  std::atomic<long> _received{0};
  std::thread _reader;
};

SocketSink& sink() {
  static SocketSink s;
  return s;
}

const std::string kLegend = "connection to daemon.example:5000 established";

bool emptyFunction(const std::string& text, EventLogger::Layer layer) {
  benchmark::DoNotOptimize(&text);
  benchmark::DoNotOptimize(layer);
  return false;
}

// Read through a volatile pointer, so the compiler can neither inline the
// call nor drop it: the same indirect call the library's exported functions get.
bool (*volatile emptyOutOfLine)(const std::string&, EventLogger::Layer) = &emptyFunction;

void BM_EmptyOutOfLineCall(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(emptyOutOfLine(kLegend, EventLogger::LAYER_CLIENT));
  }
}
BENCHMARK(BM_EmptyOutOfLineCall);

void BM_EventLogger_FilteredTrace(benchmark::State& state) {
  EventLogger logger("brimsel-bench");
  logger.setLevel(EventLogger::LEVEL_DEBUG);
  for (auto _ : state) {
    benchmark::DoNotOptimize(logger.logTrace(kLegend, EventLogger::LAYER_CLIENT));
  }
}
BENCHMARK(BM_EventLogger_FilteredTrace);

void BM_EventLogger_OneEntry(benchmark::State& state) {
  if (!sink().error().empty()) {
    state.SkipWithError(sink().error().c_str());
    return;
  }
  Brimsel::detail::setSyslogSocketPath(kSocket);
  EventLogger logger("brimsel-bench");
  for (auto _ : state) {
    if (!logger.logError(kLegend, EventLogger::LAYER_CLIENT)) {
      state.SkipWithError("the entry was refused");
      break;
    }
  }
}
BENCHMARK(BM_EventLogger_OneEntry);

// The same datagram through glibc: same source, PID, facility, severity and text.
void BM_GlibcSyslog_OneEntry(benchmark::State& state) {
  if (!sink().error().empty()) {
    state.SkipWithError(sink().error().c_str());
    return;
  }
  const std::string text = "[UI Events 0x40020106] An Error was posted. Legend was: " + kLegend;
  openlog("brimsel-bench", LOG_PID | LOG_NDELAY, LOG_USER);
  for (auto _ : state) {
    syslog(LOG_ERR, "%s", text.c_str());
  }
  closelog();
}
BENCHMARK(BM_GlibcSyslog_OneEntry);

}  // namespace
