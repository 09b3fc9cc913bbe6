#include "platform/mutex.h"

#include <pthread.h>

#include <atomic>
#include <climits>
#include <new>
#include <type_traits>

namespace Brimsel {
namespace platform {

namespace {

// The recursion is counted here, over a plain pthread mutex: the owner is
// known without asking the lock, so a call from a thread that does not own it
// is refused before it reaches pthread_mutex_unlock, and the owner's nested
// locks cost no system call.
struct RecursiveLock {
  pthread_mutex_t mx;
  // The owner's id, or pthread_t() when free; written only by the owning
  // thread and read by any thread to learn whether it is the owner. A thread
  // reads back its own id only between its own store and its own reset (one
  // variable, so coherence holds even with relaxed order).
  std::atomic<pthread_t> owner;
  unsigned count;  // touched only by the owner
};

// Linux threads are never identified by the zero value of pthread_t, which
// therefore marks a free lock.
static_assert(std::is_scalar<pthread_t>::value, "pthread_t must compare as a plain value");

static_assert(sizeof(RecursiveLock) <= nMUTEX_STORAGE_SIZE, "lock storage too small");
static_assert(alignof(RecursiveLock) <= nMUTEX_STORAGE_ALIGN, "lock storage misaligned");

RecursiveLock* asLock(void* storage) { return static_cast<RecursiveLock*>(storage); }

bool ownedByCaller(const RecursiveLock* l) {
  return pthread_equal(l->owner.load(std::memory_order_relaxed), pthread_self()) != 0;
}

}  // namespace

bool mutexInit(void* storage) {
  RecursiveLock* l = new (storage) RecursiveLock;
  l->owner.store(pthread_t(), std::memory_order_relaxed);
  l->count = 0;
  if (pthread_mutex_init(&l->mx, nullptr) != 0) {
    l->~RecursiveLock();
    return false;
  }
  return true;
}

void mutexDestroy(void* storage) {
  RecursiveLock* l = asLock(storage);
  pthread_mutex_destroy(&l->mx);
  l->~RecursiveLock();
}

bool mutexLock(void* storage) {
  RecursiveLock* l = asLock(storage);
  if (ownedByCaller(l)) {
    if (l->count == UINT_MAX) return false;
    ++l->count;
    return true;
  }
  if (pthread_mutex_lock(&l->mx) != 0) return false;
  l->owner.store(pthread_self(), std::memory_order_relaxed);
  l->count = 1;
  return true;
}

bool mutexUnlock(void* storage) {
  RecursiveLock* l = asLock(storage);
  if (!ownedByCaller(l)) return false;
  if (--l->count == 0) {
    l->owner.store(pthread_t(), std::memory_order_relaxed);
    pthread_mutex_unlock(&l->mx);
  }
  return true;
}

}  // namespace platform
}  // namespace Brimsel
