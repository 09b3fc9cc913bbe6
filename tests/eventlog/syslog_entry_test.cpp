// SPDX-License-Identifier: MIT
// The bytes of a Linux entry, formatted without a daemon (on every platform)
// and compared with the form written out by hand:
// "<PRI>Mmm dd hh:mm:ss TAG[PID]: [<category> 0x<id>] <text>".
#include <gtest/gtest.h>

#include <string>

#include "syslogentry.h"

namespace {

using Brimsel::SyslogEntry;
using Brimsel::SyslogFields;

const char kError[] = "An Error was posted. Legend was: %1";

// The parts joined, as the writer sends a long entry; a short one is copied
// whole, which must give the same bytes.
std::string formatted(const SyslogFields& fields) {
  SyslogEntry entry;
  if (!entry.format(fields)) return "refused";
  std::string parts;
  for (std::size_t i = 0; i < SyslogEntry::kPartCount; ++i) parts += entry.parts()[i];
  std::string whole(entry.size(), '\0');
  EXPECT_EQ(0u, entry.copyTo(&whole[0], entry.size() - 1));
  EXPECT_EQ(entry.size(), entry.copyTo(&whole[0], entry.size()));
  EXPECT_EQ(parts, whole);
  return parts;
}

// Priority 8 (facility user) + severity 3, 4 or 6; the day padded with a
// blank; only the first %1 takes the insertion, which is not read again.
TEST(SyslogEntry, FieldsInTheirPlaces) {
  const struct {
    SyslogFields fields;
    std::string expected;
  } rows[] = {
      {{1, 2, 5, 9, 7, 3, "app", 42, "Dal Events", 0x40020106UL, kError, "disk full"},
       "<11>Mar  5 09:07:03 app[42]: [Dal Events 0x40020106] An Error was posted. Legend was: disk "
       "full"},
      {{2, 11, 31, 23, 59, 59, "brimsel", 1234567, "UI Events", 0xabcdeUL, "%1 then %1", "<%1>"},
       "<12>Dec 31 23:59:59 brimsel[1234567]: [UI Events 0x000ABCDE] <%1> then %1"},
      {{4, 0, 10, 0, 0, 0, "", 7, "Daemon Events", 0xC0020107UL, "Message: %1", ""},
       "<14>Jan 10 00:00:00 [7]: [Daemon Events 0xC0020107] Message: "},
      {{1, 5, 1, 12, 30, 0, "a", 1, "UI Events", 0x40020104UL, "An unknown exception was caught.",
        "unused"},
       "<11>Jun  1 12:30:00 a[1]: [UI Events 0x40020104] An unknown exception was caught."}};
  for (const auto& row : rows) EXPECT_EQ(row.expected, formatted(row.fields));
}

// At most 65,536 bytes: the insertion string keeps what fits, then "...".
TEST(SyslogEntry, LongEntriesAreCutAt64KiB) {
  const std::string head =
      "<11>Mar  5 09:07:03 app[42]: [Dal Events 0x40020106] An Error was posted. Legend was: ";
  const std::string fits(65536 - head.size(), 'x'), longer = fits + "y";
  SyslogFields f = {1, 2, 5, 9, 7, 3, "app", 42, "Dal Events", 0x40020106UL, kError, fits};
  EXPECT_EQ(head + fits, formatted(f));
  f.insertion = longer;
  EXPECT_EQ(head + fits.substr(3) + "...", formatted(f));
  const std::string longest(70000, 'x'), tag(65536, 't');
  f.insertion = longest;
  f.message = "%1 (more)";
  EXPECT_EQ(65536u, formatted(f).size());
  EXPECT_EQ("xx... (more)", formatted(f).substr(65536 - 12));
  f.tag = tag;
  EXPECT_EQ("refused", formatted(f));
}

}  // namespace
