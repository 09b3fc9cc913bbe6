// SPDX-License-Identifier: MIT
#include "syslogentry.h"

#include <cstring>

#include "decimal.h"
#include "eventcatalogue.h"
#include "platform/eventlog.h"

namespace Brimsel {

namespace {

// Syslog severities of the event types: err, warning, info; facility user.
unsigned long priorityOf(int type) {
  const unsigned long facilityUser = 1 << 3;
  switch (type) {
    case catalogue::TYPE_ERROR:
      return facilityUser | 3;
    case catalogue::TYPE_WARNING:
      return facilityUser | 4;
    default:
      return facilityUser | 6;
  }
}

// Month names of the C locale, whatever the process's locale says.
const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Appends at `at` and returns the end; formatting by hand keeps the entry
// free of locale lookups and allocation.
char* text(char* at, std::string_view s) {
  if (!s.empty()) {  // an empty view may have no data at all
    std::memcpy(at, s.data(), s.size());
  }
  return at + s.size();
}

char* hex8(char* at, unsigned long value) {
  static const char digits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) {
    *at++ = digits[(value >> shift) & 0xF];
  }
  return at;
}

std::string_view between(const char* begin, const char* end) {
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

}  // namespace

bool SyslogEntry::format(const SyslogFields& f) {
  _size = 0;
  // The numbers go in as unsigned long, as syslog(3) prints them.
  char* const stamp = _generated;
  char* at = stamp;
  *at++ = '<';
  at = detail::writeDecimal(at, priorityOf(f.type));
  *at++ = '>';
  at = text(at, std::string_view(kMonths[static_cast<unsigned>(f.month) % 12], 3));
  *at++ = ' ';
  at = detail::writeDecimal(at, static_cast<unsigned long>(f.day), 2, ' ');
  *at++ = ' ';
  at = detail::writeDecimal(at, static_cast<unsigned long>(f.hour), 2);
  *at++ = ':';
  at = detail::writeDecimal(at, static_cast<unsigned long>(f.minute), 2);
  *at++ = ':';
  at = detail::writeDecimal(at, static_cast<unsigned long>(f.second), 2);
  *at++ = ' ';
  char* const pid = at;
  *at++ = '[';
  at = detail::writeDecimal(at, f.pid);
  at = text(at, "]: [");
  char* const identifier = at;
  at = text(at, " 0x");
  at = hex8(at, f.id);
  at = text(at, "] ");

  // The catalogue text with its first %1 replaced by the insertion string; a
  // text without %1 shows no insertion, as in the Windows event viewer.
  const std::size_t insertionAt = f.message.find("%1");
  const bool inserts = insertionAt != std::string_view::npos;
  const std::string_view before = f.message.substr(0, insertionAt);
  const std::string_view after = inserts ? f.message.substr(insertionAt + 2) : std::string_view();
  const std::string_view insertion = inserts ? f.insertion : std::string_view();

  // An entry too long for one datagram keeps what fits of its insertion.
  const std::size_t fixed = static_cast<std::size_t>(at - stamp) + f.tag.size() +
                            f.categoryText.size() + before.size() + after.size();
  if (fixed + platform::kCutMarkLength > platform::kMaxEntryPosix) {
    for (std::string_view& part : _parts) {
      part = std::string_view();
    }
    return false;
  }
  const std::size_t kept =
      platform::keptOfInsertion(insertion.size(), platform::kMaxEntryPosix - fixed);
  const std::string_view mark(platform::kCutMark,
                              kept < insertion.size() ? platform::kCutMarkLength : 0);

  const std::string_view parts[kPartCount] = {between(stamp, pid),
                                              f.tag,
                                              between(pid, identifier),
                                              f.categoryText,
                                              between(identifier, at),
                                              before,
                                              insertion.substr(0, kept),
                                              mark,
                                              after};
  for (std::size_t i = 0; i < kPartCount; ++i) {
    _parts[i] = parts[i];
    _size += parts[i].size();
  }
  return true;
}

std::size_t SyslogEntry::copyTo(char* buffer, std::size_t capacity) const {
  if (_size > capacity) {
    return 0;
  }
  char* at = buffer;
  for (const std::string_view& part : _parts) {
    at = text(at, part);
  }
  return _size;
}

}  // namespace Brimsel
