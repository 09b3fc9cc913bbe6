// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/mutex.h>
#include <windows.h>

#include <new>

#include "errors.h"
#include "platform/mutex.h"

namespace Brimsel {
namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= kMutexStorageSize, "lock storage too small");
static_assert(alignof(CRITICAL_SECTION) <= kMutexStorageAlign, "lock storage misaligned");

namespace {
// Raises Exception 0 with `legend`; out of line, so that the lock's own
// paths stay small.
[[noreturn]] void refuse(int line, const char* legend) {
  throw Exception(detail::baseName(__FILE__), line, detail::kSeeLegend, false, legend);
}

CRITICAL_SECTION* asSection(void* storage) { return static_cast<CRITICAL_SECTION*>(storage); }
}  // namespace

// InitializeCriticalSection cannot fail on the supported Windows versions.
void mutexInit(void* storage) { InitializeCriticalSection(new (storage) CRITICAL_SECTION); }

void mutexDestroy(void* storage) { DeleteCriticalSection(asSection(storage)); }

}  // namespace platform

void Mutex::lock(const char* /*site*/) { EnterCriticalSection(platform::asSection(_aLock)); }

// LeaveCriticalSection does not check its caller: called by a thread that does
// not own the section it would free a lock another thread holds. The section
// records its owner's thread id, so such a call is refused here.
void Mutex::unlock() {
  CRITICAL_SECTION* cs = platform::asSection(_aLock);
  if (reinterpret_cast<ULONG_PTR>(cs->OwningThread) != GetCurrentThreadId()) {
    platform::refuse(__LINE__, "Mutex is not owned by the calling thread.");
  }
  LeaveCriticalSection(cs);
}

}  // namespace Brimsel
