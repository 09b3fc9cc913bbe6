// SPDX-License-Identifier: MIT
// Internal hooks of Semaphore for the library's own tests.
#ifndef BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
#define BRIMSEL_SRC_SEMAPHORE_INTERNAL_H

#include "platform/event.h"

namespace Brimsel {
namespace detail {

// The outcome of a wait that ended with `result`: true for the signal, false
// for a time-out; raises Exception 4200 ("Abandoned." or "Failed.") or 4201
// (empty legend) otherwise.
bool semaphoreWaitOutcome(platform::WaitResult result);

// How many events the semaphores of this process hold open right now.
long openSemaphoreEvents();

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
