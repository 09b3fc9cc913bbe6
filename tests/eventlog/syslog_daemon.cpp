#if !defined(_WIN32)

#include "syslog_daemon.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace brimsel_test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kRsyslogd[] = "/usr/sbin/rsyslogd";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

}  // namespace

SyslogDaemon::SyslogDaemon() {
  char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    _error = "cannot create a temporary folder for rsyslogd";
    return;
  }
  _dir = pattern;
  _socket = _dir + "/log.sock";
  _output = _dir + "/entries.log";
  start();
}

SyslogDaemon::~SyslogDaemon() {
  stop();
  std::error_code ec;
  if (!_dir.empty()) fs::remove_all(_dir, ec);
}

bool SyslogDaemon::start() {
  _error.clear();
  if (!fs::exists(kRsyslogd)) {
    _error = std::string("rsyslogd not found at ") + kRsyslogd +
             ": the Linux event-log tests need a real syslog daemon (Debian package rsyslog)";
    return false;
  }
  // One line per entry; the message and the raw datagram, which may hold
  // '|' themselves, come last.
  const std::string config = _dir + "/rsyslog.conf";
  std::ofstream(config) << "global(workDirectory=\"" << _dir << "\")\n"
                        << "module(load=\"imuxsock\" SysSock.Use=\"off\")\n"
                        << "input(type=\"imuxsock\" Socket=\"" << _socket << "\" RateLimit.Interval=\"0\")\n"
                        << "template(name=\"entry\" type=\"string\" string=\"%syslogseverity%|"
                           "%syslogfacility%|%programname%|%procid%|%msg%|%rawmsg%\\n\")\n"
                        << "*.* action(type=\"omfile\" file=\"" << _output << "\" template=\"entry\")\n";
  const std::string log = _dir + "/rsyslogd.out";
  std::string args[] = {kRsyslogd, "-n", "-f", config, "-i", _dir + "/rsyslogd.pid"};
  char* argv[] = {&args[0][0], &args[1][0], &args[2][0], &args[3][0], &args[4][0], &args[5][0], nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int rc = posix_spawn(&_pid, kRsyslogd, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    _pid = -1;
    _error = std::string("cannot start rsyslogd: ") + std::strerror(rc);
    return false;
  }
  // Ready once its socket exists.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!fs::exists(_socket)) {
    int status = 0;
    if (waitpid(_pid, &status, WNOHANG) == _pid) {
      _pid = -1;
      _error = "rsyslogd ended at start: " + readFile(log);
      return false;
    }
    if (Clock::now() > deadline) {
      stop();
      _error = "rsyslogd did not create its socket within 10 s: " + readFile(log);
      return false;
    }
    pause();
  }
  return true;
}

void SyslogDaemon::stop() {
  if (_pid <= 0) return;
  kill(_pid, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(_pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(_pid, SIGKILL);
      waitpid(_pid, &status, 0);
      break;
    }
    pause();
  }
  _pid = -1;
}

bool SyslogDaemon::restart() {
  stop();
  std::error_code ec;
  fs::remove(_socket, ec);  // so that only the new daemon's socket counts as ready
  return start();
}

std::vector<SyslogEntry> SyslogDaemon::entries(const std::string& source) const {
  std::vector<SyslogEntry> found;
  std::istringstream in(readFile(_output));
  std::string line;
  while (std::getline(in, line)) {
    // severity|facility|source|pid|message|raw, the raw datagram starting with '<'
    std::string field[4];
    std::string::size_type at = 0;
    for (int i = 0; i < 4 && at != std::string::npos; ++i) {
      const std::string::size_type bar = line.find('|', at);
      field[i] = line.substr(at, bar == std::string::npos ? 0 : bar - at);
      at = bar == std::string::npos ? bar : bar + 1;
    }
    const std::string::size_type raw = at == std::string::npos ? at : line.rfind("|<");
    if (raw == std::string::npos || raw < at || field[2] != source) continue;
    std::string message = line.substr(at, raw - at);
    if (!message.empty() && message[0] == ' ') message.erase(0, 1);  // the blank after "[PID]:"
    found.push_back({std::atoi(field[0].c_str()), std::atoi(field[1].c_str()), field[2], field[3], message,
                     line.substr(raw + 1)});
  }
  return found;
}

std::vector<SyslogEntry> SyslogDaemon::waitFor(const std::string& source, size_t count) const {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  std::vector<SyslogEntry> found = entries(source);
  while (found.size() < count && Clock::now() < deadline) {
    pause();
    found = entries(source);
  }
  return found;
}

}  // namespace brimsel_test

#endif  // !_WIN32
