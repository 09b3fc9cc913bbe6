// SPDX-License-Identifier: MIT
// OS seam: an unnamed, auto-reset, two-state event with a timed wait.
#ifndef BRIMSEL_SRC_PLATFORM_EVENT_H
#define BRIMSEL_SRC_PLATFORM_EVENT_H

namespace Brimsel {
namespace platform {

// How a wait on an event ended: the signal came, the time ran out, the
// system reported the wait abandoned or failed, or it gave a result of no
// known meaning.
enum class WaitResult { signalled, timedOut, abandoned, failed, unknown };

// A timeout of this many milliseconds (or more) waits without limit.
constexpr unsigned long kWaitForever = 0xFFFFFFFFul;

struct Event;

// A new event, not signalled; null when the OS refuses one.
Event* eventCreate();
// Releases the event; null is accepted and ignored.
void eventClose(Event* event);
// Releases one thread that waits on the event; with none waiting, makes the
// event signalled (it stays so when it already was), and the next wait
// consumes the signal.
void eventSet(Event* event);
// Waits up to `timeoutMs` for the event: kWaitForever (or more) waits without
// limit, 0 only tests. A null event gives WaitResult::failed.
WaitResult eventWait(Event* event, unsigned long timeoutMs);

#if !defined(_WIN32)
// How many threads wait on `event` right now.
unsigned long eventWaiting(Event* event);
#endif

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_EVENT_H
