// SPDX-License-Identifier: MIT
#include "allocations.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace {
thread_local long tCount = 0;
thread_local bool tFailNext = false;
}  // namespace

long support::allocations() { return tCount; }
void support::failNextAllocation(bool fail) { tFailNext = fail; }

// Every plain (not over-aligned) form, so that no block is freed by another
// family's function than the one that allocated it.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++tCount;
  return std::exchange(tFailNext, false) ? nullptr : std::malloc(n != 0 ? n : 1);
}
void* operator new(std::size_t n) {
  if (void* p = operator new(n, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return operator new(n, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
