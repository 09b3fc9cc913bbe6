// Internal hooks of EventLogger for the library's own tests: where the Linux
// writer finds the syslog socket and where registrations are stored. Never
// installed and never read from the environment, so no configuration moves a
// program's entries or registrations elsewhere. (They are exported only so
// that the test programs can reach them; they are no part of the interface.)
#ifndef BRIMSEL_EVENTLOGGER_INTERNAL_H
#define BRIMSEL_EVENTLOGGER_INTERNAL_H

#include <brimsel/export.h>

#include <string>

namespace Brimsel {
namespace detail {

#if !defined(_WIN32)
// The socket that loggers constructed from now on write to; an empty path
// restores the default, /dev/log.
BRIMSEL_API void setSyslogSocketPath(const std::string& path);
BRIMSEL_API std::string syslogSocketPath();

// The folder below which registerEventSource writes one file per source; an
// empty path restores the default, /etc/brimsel/eventlog/Application.
BRIMSEL_API void setEventSourceStoreRoot(const std::string& root);
BRIMSEL_API std::string eventSourceStoreRoot();
#endif

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_EVENTLOGGER_INTERNAL_H
