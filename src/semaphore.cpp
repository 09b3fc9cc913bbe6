// SPDX-License-Identifier: MIT
#include <brimsel/semaphore.h>

#include <brimsel/exception.h>

#include <atomic>

#include "platform/event.h"
#include "semaphore_internal.h"

namespace Brimsel {

namespace {
std::atomic<long> nOpenEvents(0);
}  // namespace

// One event and the number of Semaphore objects that refer to it.
struct Semaphore::Shared {
  platform::Event* pEvent;
  std::atomic<long> nRefs;
};

namespace detail {

bool semaphoreWaitOutcome(unsigned long code) {
  if (code == platform::nWAIT_OBJECT_0) return true;
  if (code == platform::nWAIT_ABANDONED) throw Exception(__FILE__, __LINE__, 4200, false, "Abandoned.");
  if (code == platform::nWAIT_TIMEOUT) return false;
  if (code == platform::nWAIT_FAILED) throw Exception(__FILE__, __LINE__, 4200, false, "Failed.");
  throw Exception(__FILE__, __LINE__, 4201, false, "");
}

long openSemaphoreEvents() { return nOpenEvents.load(); }

}  // namespace detail

static_assert(Semaphore::nINFINITE == platform::nWAIT_INFINITE, "one value means no time limit");

Semaphore::Semaphore() : _pShared(new Shared{platform::eventCreate(), {1}}) {
  if (_pShared->pEvent != nullptr) ++nOpenEvents;
}

Semaphore::Semaphore(const Semaphore& other) : _pShared(other._pShared) {
  _pShared->nRefs.fetch_add(1, std::memory_order_relaxed);
}

Semaphore& Semaphore::operator=(const Semaphore& other) {
  if (_pShared != other._pShared) {
    other._pShared->nRefs.fetch_add(1, std::memory_order_relaxed);
    release();
    _pShared = other._pShared;
  }
  return *this;
}

Semaphore::~Semaphore() { release(); }

// The last object to let go closes the event; the acquire-release order makes
// every earlier use of the event by other copies happen before the close.
void Semaphore::release() {
  if (_pShared->nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    if (_pShared->pEvent != nullptr) {
      platform::eventClose(_pShared->pEvent);
      --nOpenEvents;
    }
    delete _pShared;
  }
  _pShared = nullptr;
}

void Semaphore::signal(bool /*bAny*/) { platform::eventSet(_pShared->pEvent); }

bool Semaphore::wait(unsigned long timeout) {
  return detail::semaphoreWaitOutcome(platform::eventWait(_pShared->pEvent, timeout));
}

}  // namespace Brimsel
