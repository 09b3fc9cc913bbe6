// Entries longer than the platform takes are cut to fit and written, never
// dropped.
#include <brimsel/eventlogger.h>

#include <gtest/gtest.h>

#include "platform/eventlog.h"

#if !defined(_WIN32)
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "eventlogger_internal.h"
#endif

namespace {

// What is handed to ReportEventA (Wine takes any length, so the event log
// itself cannot show the cut): at most 31,839 characters, the cut marked.
TEST(LongEntry, WindowsInsertionStringsAreCutToWhatReportEventTakes) {
  std::string cut;
  const std::string fits(31839, 'f'), text = std::string(31836, 'a') + "bcdef";
  EXPECT_EQ(fits.c_str(), Brimsel::platform::fitInsertion(fits.c_str(), 31839, cut));
  EXPECT_EQ(std::string(31836, 'a') + "...",
            Brimsel::platform::fitInsertion(text.c_str(), Brimsel::platform::kMaxInsertionWindows, cut));
}

#if !defined(_WIN32)
// A datagram socket of the test's own stands in for the syslog daemon, so
// that the whole datagram is seen, however long.
TEST(LongEntry, LinuxEntriesAreOneDatagramOfAtMost64KiB) {
  char dir[] = "/tmp/brimsel-long-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const std::string path = std::string(dir) + "/log";
  const int s = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un at = {};
  at.sun_family = AF_UNIX;
  std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
  ASSERT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at));
  Brimsel::detail::setSyslogSocketPath(path);
  Brimsel::EventLogger logger("brimsel-long");
  Brimsel::detail::setSyslogSocketPath("");
  ASSERT_TRUE(logger.logError(std::string(1u << 20, 'x') + "end", Brimsel::EventLogger::LAYER_UI));
  std::vector<char> buffer(2u << 20);
  const long n = recv(s, buffer.data(), buffer.size(), MSG_TRUNC);
  const std::string entry(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  EXPECT_EQ(65536u, entry.size());
  EXPECT_EQ("xxx...", entry.substr(entry.size() - 6));
  close(s);
  unlink(path.c_str());
  rmdir(dir);
}
#endif

}  // namespace
