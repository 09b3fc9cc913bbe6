// A private rsyslogd for the Linux event-log tests: it serves a socket in a
// temporary folder (no other input) and writes each entry it receives as one
// line of a file there. Every wait is bounded.
#ifndef BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H
#define BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H
#if !defined(_WIN32)

#include <sys/types.h>

#include <string>
#include <vector>

namespace brimsel_test {

// One entry as the daemon parsed it.
struct SyslogEntry {
  int severity = -1;
  int facility = -1;
  std::string source;   // the name before "[PID]:"
  std::string procId;   // the PID
  std::string message;  // what follows "SOURCE[PID]: "
  std::string raw;      // the datagram as received (control bytes as #ooo)
};

class SyslogDaemon {
 public:
  SyslogDaemon();   // starts rsyslogd; on failure error() says why
  ~SyslogDaemon();  // stops it and removes its folder
  SyslogDaemon(const SyslogDaemon&) = delete;
  SyslogDaemon& operator=(const SyslogDaemon&) = delete;

  bool running() const { return _pid > 0; }
  const std::string& error() const { return _error; }
  const std::string& socketPath() const { return _socket; }
  const std::string& folder() const { return _dir; }

  void stop();     // SIGTERM, SIGKILL after 5 s
  bool restart();  // a new daemon on the same socket path and output file

  // The entries of `source` received so far; waitFor waits (10 s at most)
  // until there are `count` of them.
  std::vector<SyslogEntry> entries(const std::string& source) const;
  std::vector<SyslogEntry> waitFor(const std::string& source, size_t count) const;

 private:
  bool start();

  std::string _dir, _socket, _output, _error;
  pid_t _pid = -1;
};

}  // namespace brimsel_test

#endif  // !_WIN32
#endif  // BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H
