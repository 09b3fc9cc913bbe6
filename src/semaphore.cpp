// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/semaphore.h>

#include <atomic>

#include "errors.h"
#include "platform/event.h"
#include "semaphore_internal.h"

namespace Brimsel {

namespace {
std::atomic<long> openEvents(0);
}  // namespace

// One event and the number of Semaphore objects that refer to it.
struct Semaphore::Shared {
  platform::Event* event;
  std::atomic<long> refs;
};

namespace detail {

bool semaphoreWaitOutcome(platform::WaitResult result) {
  switch (result) {
    case platform::WaitResult::signalled:
      return true;
    case platform::WaitResult::timedOut:
      return false;
    case platform::WaitResult::abandoned:
      throw Exception(BRIMSEL_HERE, kWaitFailed, false, "Abandoned.");
    case platform::WaitResult::failed:
      throw Exception(BRIMSEL_HERE, kWaitFailed, false, "Failed.");
    case platform::WaitResult::unknown:
      break;
  }
  throw Exception(BRIMSEL_HERE, kUnknownWaitResult, false, "");
}

long openSemaphoreEvents() { return openEvents.load(); }

}  // namespace detail

static_assert(Semaphore::nINFINITE == platform::kWaitForever, "one value means no time limit");

Semaphore::Semaphore() : _pShared(new Shared{platform::eventCreate(), {1}}) {
  if (_pShared->event != nullptr) ++openEvents;
}

Semaphore::Semaphore(const Semaphore& other) : _pShared(other._pShared) {
  _pShared->refs.fetch_add(1, std::memory_order_relaxed);
}

// NOLINTNEXTLINE(bugprone-unhandled-self-assignment): the shared-event test covers it
Semaphore& Semaphore::operator=(const Semaphore& other) {
  if (_pShared != other._pShared) {
    other._pShared->refs.fetch_add(1, std::memory_order_relaxed);
    release();
    _pShared = other._pShared;
  }
  return *this;
}

Semaphore::~Semaphore() { release(); }

// The last object to let go closes the event; the acquire-release order makes
// every earlier use of the event by other copies happen before the close.
void Semaphore::release() {
  if (_pShared->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    if (_pShared->event != nullptr) {
      platform::eventClose(_pShared->event);
      --openEvents;
    }
    delete _pShared;
  }
  _pShared = nullptr;
}

void Semaphore::signal(bool /*bAny*/) { platform::eventSet(_pShared->event); }

bool Semaphore::wait(unsigned long timeout) {
  return detail::semaphoreWaitOutcome(platform::eventWait(_pShared->event, timeout));
}

}  // namespace Brimsel
