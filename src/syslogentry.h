// SPDX-License-Identifier: MIT
// The bytes of one Linux event-log entry, in the traditional form of glibc's
// syslog(3):
//   "<PRI>Mmm dd hh:mm:ss TAG[PID]: [<category text> 0x<identifier>] <text>"
// Plain code without any OS call, so that its output is tested byte for byte
// on every platform, without a daemon. The writer reads the clock and the
// process id and sends the result (platform/eventlog_posix.cpp).
#ifndef BRIMSEL_SYSLOGENTRY_H
#define BRIMSEL_SYSLOGENTRY_H

#include <cstddef>
#include <string_view>

namespace Brimsel {

// What an entry says. The texts end where their views end.
struct SyslogFields {
  int type;  // the event type: 1 error, 2 warning, anything else information
  // Local time as struct tm gives it: month 0 for January, day 1 to 31.
  int month, day, hour, minute, second;
  std::string_view tag;  // the source name
  unsigned long pid;
  std::string_view categoryText;
  unsigned long id;  // written as eight hexadecimal digits
  // The catalogue text; its first %1 stands for the insertion string, which a
  // text without %1 does not show.
  std::string_view message;
  std::string_view insertion;
};

// An entry as consecutive parts: the few generated fields live in the entry
// itself, every text is referred to where it lies, so that a long entry is
// sent without being copied. The parts stay valid while the entry and the
// texts of its fields do.
class SyslogEntry {
 public:
  static const std::size_t kPartCount = 9;

  // Lays out the entry of `fields`. An entry longer than
  // platform::kMaxEntryPosix keeps what fits of the insertion string, followed
  // by platform::kCutMark. False, leaving no parts, when even the entry
  // without insertion and mark would be too long (a very long tag).
  bool format(const SyslogFields& fields);

  const std::string_view* parts() const { return _parts; }
  std::size_t size() const { return _size; }

  // Copies the whole entry to `buffer` when it fits in `capacity` bytes;
  // returns the bytes copied, or 0 when it does not fit.
  std::size_t copyTo(char* buffer, std::size_t capacity) const;

 private:
  // "<PRI>Mmm dd hh:mm:ss ", "[PID]: [" and " 0xXXXXXXXX] ": room for any
  // value of the fields (a number has at most 20 digits).
  char _generated[144];
  std::string_view _parts[kPartCount];
  std::size_t _size = 0;
};

}  // namespace Brimsel

#endif  // BRIMSEL_SYSLOGENTRY_H
