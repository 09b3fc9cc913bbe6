// SPDX-License-Identifier: MIT
// Internal hooks of DaemonComm for the library's own tests. Never installed.
#ifndef BRIMSEL_DAEMONCOMM_INTERNAL_H
#define BRIMSEL_DAEMONCOMM_INTERNAL_H

namespace Brimsel {
namespace detail {

// How many times DaemonComm has started the platform's sockets in this
// process (Windows Sockets; on Linux there is nothing to start, and the
// count is that of the one successful start all the same).
int socketStartCount();

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_DAEMONCOMM_INTERNAL_H
