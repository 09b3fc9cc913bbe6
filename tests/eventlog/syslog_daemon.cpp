#if !defined(_WIN32)

#include "syslog_daemon.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace brimsel_test {

namespace {

const char kRsyslogd[] = "/usr/sbin/rsyslogd";

// The raw datagram comes last, after the message; both may hold '|'.
const char kConfig[] =
    "global(workDirectory=\"@DIR@\")\n"
    "module(load=\"imuxsock\" SysSock.Use=\"off\")\n"
    "input(type=\"imuxsock\" Socket=\"@SOCKET@\" RateLimit.Interval=\"0\")\n"
    "template(name=\"entry\" type=\"string\" string=\"%syslogseverity%|%syslogfacility%|"
    "%programname%|%procid%|%msg%|%rawmsg%\\n\")\n"
    "*.* action(type=\"omfile\" file=\"@OUTPUT@\" template=\"entry\")\n";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::string::size_type at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Splits a line of the template above into an entry; false when it has too
// few fields (a line of the daemon's own, for example).
bool parse(const std::string& line, SyslogEntry& entry) {
  std::string fields[4];
  std::string::size_type from = 0;
  for (std::string& field : fields) {
    const std::string::size_type bar = line.find('|', from);
    if (bar == std::string::npos) {
      return false;
    }
    field = line.substr(from, bar - from);
    from = bar + 1;
  }
  // The message and the raw datagram follow; the raw one starts with "<PRI>".
  const std::string rest = line.substr(from);
  const std::string::size_type rawAt = rest.rfind("|<");
  if (rawAt == std::string::npos) {
    return false;
  }
  entry.severity = std::atoi(fields[0].c_str());
  entry.facility = std::atoi(fields[1].c_str());
  entry.programName = fields[2];
  entry.procId = fields[3];
  entry.message = rest.substr(0, rawAt);
  entry.raw = rest.substr(rawAt + 1);
  // rsyslog keeps the blank that follows "SOURCE[PID]:" in the message.
  if (!entry.message.empty() && entry.message[0] == ' ') {
    entry.message.erase(0, 1);
  }
  return true;
}

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
  if (!_dir.empty()) {
    // The folder holds only files: the socket, the entries, the daemon's
    // configuration, output and state.
    if (DIR* dir = opendir(_dir.c_str())) {
      while (dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") {
          unlink((_dir + "/" + name).c_str());
        }
      }
      closedir(dir);
    }
    rmdir(_dir.c_str());
  }
}

bool SyslogDaemon::start() {
  _error.clear();
  if (access(kRsyslogd, X_OK) != 0) {
    _error = std::string("rsyslogd not found at ") + kRsyslogd +
             ": the Linux event-log tests need a real syslog daemon "
             "(install the Debian package rsyslog)";
    return false;
  }
  const std::string config = _dir + "/rsyslog.conf";
  {
    std::ofstream out(config);
    out << replaceAll(replaceAll(replaceAll(kConfig, "@DIR@", _dir), "@SOCKET@", _socket), "@OUTPUT@", _output);
    if (!out) {
      _error = "cannot write " + config;
      return false;
    }
  }
  const std::string pidFile = _dir + "/rsyslogd.pid";
  const std::string log = _dir + "/rsyslogd.out";
  std::vector<std::string> args = {kRsyslogd, "-n", "-f", config, "-i", pidFile};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(&arg[0]);
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int rc = posix_spawn(&_pid, kRsyslogd, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    _pid = -1;
    _error = std::string("cannot start rsyslogd: ") + std::strerror(rc);
    return false;
  }

  // Ready once its socket exists.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!exists(_socket)) {
    int status = 0;
    if (waitpid(_pid, &status, WNOHANG) == _pid) {
      _pid = -1;
      _error = "rsyslogd ended at start: " + readFile(log);
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      stop();
      _error = "rsyslogd did not create its socket within 10 s: " + readFile(log);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void SyslogDaemon::stop() {
  if (_pid <= 0) {
    return;
  }
  kill(_pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(_pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(_pid, SIGKILL);
      waitpid(_pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  _pid = -1;
}

bool SyslogDaemon::restart() {
  stop();
  // The stopped daemon removes its socket; wait (bounded) so that the new
  // daemon's socket is not mistaken for the old one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (exists(_socket) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  unlink(_socket.c_str());
  return start();
}

std::vector<SyslogEntry> SyslogDaemon::entries(const std::string& source) const {
  std::vector<SyslogEntry> found;
  std::istringstream in(readFile(_output));
  std::string line;
  while (std::getline(in, line)) {
    SyslogEntry entry;
    if (parse(line, entry) && entry.programName == source) {
      found.push_back(entry);
    }
  }
  return found;
}

std::vector<SyslogEntry> SyslogDaemon::waitFor(const std::string& source, size_t count,
                                               std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::vector<SyslogEntry> found = entries(source);
    if (found.size() >= count || std::chrono::steady_clock::now() > deadline) {
      return found;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace brimsel_test

#endif  // !_WIN32
