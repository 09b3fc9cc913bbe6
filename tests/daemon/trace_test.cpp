// SPDX-License-Identifier: MIT
// Each block of text the response thread delivers is written as one trace
// line through the process-wide logger. Linux only: the entries are caught on
// a syslog socket of the test's own.
#if !defined(_WIN32)

#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "daemon_support.h"
#include "eventlogger_internal.h"

using Brimsel::DaemonComm;
using Brimsel::EventLogger;
using dtest::TestDaemon;

namespace {

// A syslog socket that keeps every datagram.
class SyslogCatcher {
 public:
  SyslogCatcher() {
    _path = (std::filesystem::temp_directory_path() /
             ("brimsel-trace-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
                .string();
    _fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un at;
    std::memset(&at, 0, sizeof at);
    at.sun_family = AF_UNIX;
    std::strncpy(at.sun_path, _path.c_str(), sizeof at.sun_path - 1);
    _bound = _fd >= 0 && ::bind(_fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    Brimsel::detail::setSyslogSocketPath(_path);
  }
  ~SyslogCatcher() {
    Brimsel::detail::setSyslogSocketPath("");
    Brimsel::platform::closeSocket(_fd);
    std::remove(_path.c_str());
  }
  bool bound() const { return _bound; }
  // The next entry, or "" when none comes within `timeoutMs`.
  std::string next(int timeoutMs = dtest::kWaitMs) {
    char buffer[65536];
    long n = Brimsel::platform::waitForData(_fd, timeoutMs) ? Brimsel::platform::receiveBlocking(_fd, buffer, sizeof buffer) : 0;
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  }

 private:
  std::string _path;
  int _fd = -1;
  bool _bound = false;
};

const char kTrace[] = "Trace info was posted. Legend was: ";

TEST(Trace, EachDeliveredBlockIsOneTraceLineWithItsTerminators) {
  SyslogCatcher syslog;
  ASSERT_TRUE(syslog.bound());
  dtest::Inbox inbox;
  dtest::gInbox = &inbox;
  TestDaemon daemon;
  {
    EventLogger logger("brimsel-daemon-test");
    logger.setLevel(EventLogger::LEVEL_TRACE);
    DaemonComm comm(dtest::recordStatus);
    ASSERT_TRUE(comm.parse(daemon.connectString()));
    ASSERT_TRUE(comm.connect());
    int s = daemon.accept();
    ASSERT_NE(s, -1);

    ASSERT_TRUE(TestDaemon::write(s, "a\x04\x04" "b\x04"));
    ASSERT_TRUE(inbox.waitFor(2));
    std::string entry = syslog.next();
    EXPECT_NE(entry.find(std::string(kTrace) + "a\x04\x04" "b\x04"), std::string::npos) << entry;
    EXPECT_NE(entry.find("0xC0020109"), std::string::npos) << entry;

    // The block ends at the last terminator read; the partial message after
    // it comes in the next block.
    ASSERT_TRUE(TestDaemon::write(s, "c\x04" "d"));
    ASSERT_TRUE(inbox.waitFor(3));
    entry = syslog.next();
    EXPECT_NE(entry.find(std::string(kTrace) + "c\x04"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("c\x04" "d"), std::string::npos) << entry;
    ASSERT_TRUE(TestDaemon::write(s, "e\x04"));
    ASSERT_TRUE(inbox.waitFor(4));
    entry = syslog.next();
    EXPECT_NE(entry.find(std::string(kTrace) + "de\x04"), std::string::npos) << entry;

    // Below the trace level nothing is written, and the messages still come.
    logger.setLevel(EventLogger::LEVEL_DEBUG);
    ASSERT_TRUE(TestDaemon::write(s, "f\x04"));
    ASSERT_TRUE(inbox.waitFor(5));
    EXPECT_EQ(syslog.next(100), "");
  }
  EXPECT_EQ(inbox.messages(), (std::vector<std::string>{"a", "b", "c", "de", "f"}));
  dtest::gInbox = nullptr;
}

}  // namespace

#endif
