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
bool mutexInit(void* storage) {
  InitializeCriticalSection(new (storage) CRITICAL_SECTION);
  return true;
}

void mutexDestroy(void* storage) { DeleteCriticalSection(asSection(storage)); }

bool mutexLock(void* storage) {
  EnterCriticalSection(asSection(storage));
  return true;
}

// LeaveCriticalSection does not check its caller: called by a thread that does
// not own the section it would free a lock another thread holds. The section
// records its owner's thread id, so refuse such a call here.
bool mutexUnlock(void* storage) {
  CRITICAL_SECTION* cs = asSection(storage);
  if (cs->OwningThread != reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()))) {
    return false;
  }
  LeaveCriticalSection(cs);
  return true;
}

}  // namespace platform
}  // namespace Brimsel
