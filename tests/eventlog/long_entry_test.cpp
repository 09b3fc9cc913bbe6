// SPDX-License-Identifier: MIT
// Entries longer than the platform takes are cut to fit and written, never
// dropped.
#include "eventlog_test.h"

#include "platform/eventlog.h"

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/un.h>
#endif

using namespace brimsel_test;

namespace {

// What is handed to ReportEventA (Wine takes any length, so it cannot show
// the cut): at most 31,839 characters, the cut marked.
TEST(LongEntry, WindowsInsertionStringsAreCutToWhatReportEventTakes) {
  std::string cut;
  const std::string fits(31839, 'f');
  EXPECT_EQ(fits.c_str(), Brimsel::platform::fitInsertion(fits.c_str(), 31839, cut));
  const std::string text = std::string(31836, 'a') + "bcdef";
  EXPECT_EQ(std::string(31836, 'a') + "...",
            Brimsel::platform::fitInsertion(text.c_str(), Brimsel::platform::kMaxInsertionWindows, cut));
}

#if !defined(_WIN32)
// A real datagram socket stands in for the syslog daemon, so that the whole
// datagram is seen, however long.
TEST(LongEntry, LinuxEntriesAreOneDatagramOfAtMost64KiB) {
  char dir[] = "/tmp/brimsel-long-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const std::string path = std::string(dir) + "/log";
  const int s = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un at = {};
  at.sun_family = AF_UNIX;
  std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
  ASSERT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at));
  const int size = 1 << 22;
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  Brimsel::detail::setSyslogSocketPath(path);
  EventLogger logger("brimsel-long");
  Brimsel::detail::setSyslogSocketPath("");

  const std::string text = std::string(1u << 20, 'x') + "end";
  ASSERT_TRUE(logger.logError(text, EventLogger::LAYER_UI));
  ASSERT_TRUE(logger.logWarning("short", EventLogger::LAYER_UI));
  std::vector<char> buffer(2u << 20);
  const long n = recv(s, buffer.data(), buffer.size(), MSG_TRUNC);
  const std::string entry(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  EXPECT_EQ(65536u, entry.size());
  EXPECT_EQ("xxx...", entry.substr(entry.size() - 6));
  EXPECT_NE(std::string::npos, entry.find("brimsel-long["));
  const long m = recv(s, buffer.data(), buffer.size(), MSG_TRUNC);
  EXPECT_EQ("Legend was: short", std::string(buffer.data(), m > 0 ? static_cast<std::size_t>(m) : 0).substr(m - 17));
  close(s);
  unlink(path.c_str());
  rmdir(dir);
}
#endif

}  // namespace
