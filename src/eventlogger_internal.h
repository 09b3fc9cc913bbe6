// SPDX-License-Identifier: MIT
// Internal hooks of EventLogger for the library's own tests: where the Linux
// writer finds the syslog socket and where registrations are stored. Never
// installed and never read from the environment, so no configuration moves a
// program's entries or registrations elsewhere. The shipped library does not
// export them; the tests link the library's objects statically. Defined in
// platform/eventlogsettings_posix.cpp.
#ifndef BRIMSEL_EVENTLOGGER_INTERNAL_H
#define BRIMSEL_EVENTLOGGER_INTERNAL_H

#include <string>

namespace Brimsel {
namespace detail {

#if !defined(_WIN32)
// The socket that loggers constructed from now on write to; an empty path
// restores the default, /dev/log.
void setSyslogSocketPath(const std::string& path);
std::string syslogSocketPath();

// The folder below which registerEventSource writes one file per source; an
// empty path restores the default, /etc/brimsel/eventlog/Application.
void setEventSourceStoreRoot(const std::string& root);
std::string eventSourceStoreRoot();
#endif

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_EVENTLOGGER_INTERNAL_H
