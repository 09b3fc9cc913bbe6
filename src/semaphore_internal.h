// Internal hooks of Semaphore, exported for the tests only.
#ifndef BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
#define BRIMSEL_SRC_SEMAPHORE_INTERNAL_H

#include <brimsel/export.h>

namespace Brimsel {
namespace detail {

// The outcome of a wait for the platform's result `code`: true for the
// signal, false for a time-out; raises the Exception of the table otherwise.
BRIMSEL_API bool semaphoreWaitOutcome(unsigned long code);

// How many events the semaphores of this process hold open right now.
BRIMSEL_API long openSemaphoreEvents();

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
