// SPDX-License-Identifier: MIT
// OS seam of EventLogger: the system event log and the registration of event
// sources. Windows: the Application event log and the registry. Linux: the
// local syslog socket and a file-backed store of registrations.
#ifndef BRIMSEL_PLATFORM_EVENTLOG_H
#define BRIMSEL_PLATFORM_EVENTLOG_H

#include <string>

namespace Brimsel {
namespace platform {

// An open event source; its contents are the platform's own.
struct EventSource;

// Opens the event source `name` for writing; null when the platform refuses.
EventSource* openEventSource(const std::string& name);

// Closes a source that openEventSource returned (null is ignored).
void closeEventSource(EventSource* source);

// Writes one entry: `type` is 1 (error), 2 (warning) or 4 (information);
// `text` is the one insertion string, or null for none. True when the
// platform accepted the entry. Safe to call from several threads at once on
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
