// SPDX-License-Identifier: MIT
#include <brimsel/mutex.h>

#include "platform/mutex.h"

#include <windows.h>

#include <new>

namespace Brimsel {
namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= nMUTEX_STORAGE_SIZE, "lock storage too small");
static_assert(alignof(CRITICAL_SECTION) <= nMUTEX_STORAGE_ALIGN, "lock storage misaligned");

namespace {
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
  if (cs->OwningThread != reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()))) {
    platform::mutexNotOwned();
  }
  LeaveCriticalSection(cs);
}

}  // namespace Brimsel
