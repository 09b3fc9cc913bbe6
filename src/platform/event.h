// OS seam: an unnamed, auto-reset, two-state event with a timed wait.
#ifndef BRIMSEL_SRC_PLATFORM_EVENT_H
#define BRIMSEL_SRC_PLATFORM_EVENT_H

namespace Brimsel {
namespace platform {

// Results of eventWait, with the values Windows gives them on every platform,
// so that one table in the class above maps them.
constexpr unsigned long nWAIT_OBJECT_0 = 0;
constexpr unsigned long nWAIT_ABANDONED = 0x80;
constexpr unsigned long nWAIT_TIMEOUT = 0x102;
constexpr unsigned long nWAIT_FAILED = 0xFFFFFFFFul;
// A timeout of this many milliseconds waits without limit.
constexpr unsigned long nWAIT_INFINITE = 0xFFFFFFFFul;

struct Event;

// A new event, not signalled; null when the OS refuses one.
Event* eventCreate();
// Releases the event; null is accepted and ignored.
void eventClose(Event* event);
// Releases one thread that waits on the event; with none waiting, makes the
// event signalled (it stays so when it already was), and the next wait
// consumes the signal.
void eventSet(Event* event);
// Waits up to `timeoutMs` for the event: nWAIT_INFINITE (or more) waits
// without limit, 0 only tests. Returns one of the nWAIT_ codes, or whatever
// other code the OS gave; a null event gives nWAIT_FAILED.
unsigned long eventWait(Event* event, unsigned long timeoutMs);

#if !defined(_WIN32)
// How many threads wait on `event` right now.
unsigned long eventWaiting(Event* event);
#endif

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_EVENT_H
