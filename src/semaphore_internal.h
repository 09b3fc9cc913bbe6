// SPDX-License-Identifier: MIT
// Internal hooks of Semaphore for the library's own tests.
#ifndef BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
#define BRIMSEL_SRC_SEMAPHORE_INTERNAL_H


namespace Brimsel {
namespace detail {

// The outcome of a wait for the platform's result `code`: true for the
// signal, false for a time-out; raises the Exception of the table otherwise.
bool semaphoreWaitOutcome(unsigned long code);

// How many events the semaphores of this process hold open right now.
long openSemaphoreEvents();

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_SEMAPHORE_INTERNAL_H
