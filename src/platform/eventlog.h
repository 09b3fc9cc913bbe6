// OS seam of EventLogger: the system event log and the registration of event
// sources. Windows: the Application event log and the registry. Linux: the
// local syslog socket and a file-backed store of registrations.
#ifndef BRIMSEL_PLATFORM_EVENTLOG_H
#define BRIMSEL_PLATFORM_EVENTLOG_H

#include <cstddef>
#include <cstring>
#include <string>

namespace Brimsel {
namespace platform {

// Entries have a size limit. Windows' ReportEventA refuses an insertion
// string longer than 31,839 characters; on Linux an entry is one datagram of
// at most 64 KiB (header included), beyond what a syslog daemon keeps anyway.
// A longer insertion string is cut to fit, and the cut is marked by "..." at
// its end, so that the entry is written rather than lost.
const std::size_t kMaxInsertionWindows = 31839;
const std::size_t kMaxEntryPosix = 65536;
const char kCutMark[] = "...";
const std::size_t kCutMarkLength = sizeof kCutMark - 1;

// How many bytes of an insertion string of `length` bytes fit in `room`
// bytes: all of them, or as many as leave room for the mark behind them.
inline std::size_t keptOfInsertion(std::size_t length, std::size_t room) {
  if (length <= room) return length;
  return room > kCutMarkLength ? room - kCutMarkLength : 0;
}

// `text` itself when it fits in `limit` bytes; otherwise its first bytes and
// the mark, `limit` bytes in all, built in `cut`.
inline const char* fitInsertion(const char* text, std::size_t limit, std::string& cut) {
  if (text == nullptr) return text;
  const std::size_t length = std::strlen(text);
  const std::size_t kept = keptOfInsertion(length, limit);
  if (kept == length) return text;
  cut.assign(text, kept);
  cut += kCutMark;
  return cut.c_str();
}

// An open event source; its contents are the platform's own.
struct EventSource;

// Opens the event source `name` for writing; null when the platform refuses.
EventSource* openEventSource(const std::string& name);

// Closes a source that openEventSource returned (null is ignored).
void closeEventSource(EventSource* source);

// Writes one entry: `type` is 1 (error), 2 (warning) or 4 (information);
// `text` is the one insertion string, or null for none, cut to fit as said
// above. True when the platform accepted the entry. Safe to call from several threads at once on
// the same source.
bool reportEvent(EventSource* source, int type, unsigned short category, unsigned long id,
                 const char* text);

// Registers `source` with category count 5, supported types 31 and the file
// of `module` (an address in the module; null for the running executable) as
// its event and category message file. False when nothing could be stored;
// memory exhaustion while building the names may escape as std::bad_alloc.
bool registerEventSource(const std::string& source, const void* module);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_PLATFORM_EVENTLOG_H
