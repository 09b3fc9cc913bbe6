// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/mutex.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <new>

#include "errors.h"
#include "platform/mutex.h"

namespace Brimsel {
namespace platform {

namespace {

// A recursive lock of our own: a three-state futex word (0 free, 1 taken,
// 2 taken with waiters) and the owner with its count. Knowing the owner
// ourselves lets a stray unlock from another thread be refused before it
// touches the lock, and the uncontended path is one atomic exchange each way.
struct RecursiveLock {
  std::atomic<int> state;
  // The owner's id (see selfId), or 0 when free; written only by the owning
  // thread and read by any thread to learn whether it is the owner. A thread
  // reads back its own id only between its own store and its own reset (one
  // variable, so coherence holds even with relaxed order).
  std::atomic<std::uintptr_t> owner;
  unsigned count;  // touched only by the owner
};

static_assert(sizeof(RecursiveLock) <= kMutexStorageSize, "lock storage too small");
static_assert(alignof(RecursiveLock) <= kMutexStorageAlign, "lock storage misaligned");
static_assert(sizeof(std::atomic<int>) == sizeof(int), "the futex word must be a plain int");

// A thread is identified by the address of its own copy of this byte: unique
// among live threads, never 0, and, with the initial-exec model, read with a
// single thread-pointer-relative instruction instead of a call
// (pthread_self() through the PLT cost a quarter more per lock and unlock).
#if defined(__GNUC__)
thread_local char tThreadTag __attribute__((tls_model("initial-exec")));
#else
thread_local char tThreadTag;
#endif

std::uintptr_t selfId() { return reinterpret_cast<std::uintptr_t>(&tThreadTag); }

// Raises Exception 0 with `legend`; out of line, so that the lock's own
// paths stay small.
[[noreturn]] void refuse(int line, const char* legend) {
  throw Exception(detail::baseName(__FILE__), line, detail::kSeeLegend, false, legend);
}

RecursiveLock* asLock(void* storage) { return static_cast<RecursiveLock*>(storage); }

int* futexWord(RecursiveLock* l) { return reinterpret_cast<int*>(&l->state); }

void futexWait(RecursiveLock* l, int expected) {
  syscall(SYS_futex, futexWord(l), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void futexWakeOne(RecursiveLock* l) {
  syscall(SYS_futex, futexWord(l), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace

void mutexInit(void* storage) {
  RecursiveLock* l = new (storage) RecursiveLock;
  l->state.store(0, std::memory_order_relaxed);
  l->owner.store(0, std::memory_order_relaxed);
  l->count = 0;
}

void mutexDestroy(void* storage) { asLock(storage)->~RecursiveLock(); }

}  // namespace platform

void Mutex::lock(const char* /*site*/) {
  platform::RecursiveLock* l = platform::asLock(_aLock);
  const std::uintptr_t self = platform::selfId();
  if (l->owner.load(std::memory_order_relaxed) == self) {
    if (l->count == UINT_MAX) platform::refuse(__LINE__, "Mutex lock failed.");
    ++l->count;
    return;
  }
  int c = 0;
  if (!l->state.compare_exchange_strong(c, 1, std::memory_order_acquire,
                                        std::memory_order_relaxed)) {
    // Contended: mark the word "with waiters" and sleep until it is free.
    if (c != 2) c = l->state.exchange(2, std::memory_order_acquire);
    while (c != 0) {
      platform::futexWait(l, 2);
      c = l->state.exchange(2, std::memory_order_acquire);
    }
  }
  l->owner.store(self, std::memory_order_relaxed);
  l->count = 1;
}

void Mutex::unlock() {
  platform::RecursiveLock* l = platform::asLock(_aLock);
  if (l->owner.load(std::memory_order_relaxed) != platform::selfId()) {
    platform::refuse(__LINE__, "Mutex is not owned by the calling thread.");
  }
  if (--l->count == 0) {
    l->owner.store(0, std::memory_order_relaxed);
    if (l->state.exchange(0, std::memory_order_release) == 2) platform::futexWakeOne(l);
  }
}

}  // namespace Brimsel
