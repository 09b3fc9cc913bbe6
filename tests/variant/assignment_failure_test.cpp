// SPDX-License-Identifier: MIT
// Assignment must leave its target unchanged when an allocation fails. This
// program replaces the global allocation functions so that a chosen
// allocation fails; where the library does not allocate through them (a
// Windows DLL has its own), the case skips.
#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

using Brimsel::Variant;

namespace {

std::atomic<bool> gFailNext{false};

void* allocate(std::size_t n) {
  void* p = gFailNext.exchange(false) ? nullptr : std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

// Assigns with the first allocation failing; true when it did fail.
bool assignFailing(Variant& target, const Variant& source) {
  gFailNext = true;
  try {
    target = source;
  } catch (const std::bad_alloc&) {
    return true;
  }
  gFailNext = false;
  return false;
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(AssignmentFailure, TargetIsUnchanged) {
  const unsigned char bytes[] = {9, 8, 7, 6};
  const std::string longText(200, 'x');  // beyond any small-string buffer
  Variant binary(bytes, sizeof bytes);
  const unsigned char* buffer = binary.toBinary();
  if (!assignFailing(binary, Variant(longText))) GTEST_SKIP() << "the library's allocations cannot fail here";
  EXPECT_EQ(binary.type(), Variant::vtBinary);
  ASSERT_EQ(binary.toBinary(), buffer);
  const Variant copy(binary);  // a length without a buffer would be read here
  EXPECT_EQ(std::memcmp(copy.toBinary(), bytes, sizeof bytes), 0);
  Variant text(longText);
  EXPECT_TRUE(assignFailing(text, binary));
  EXPECT_EQ(text.type(), Variant::vtString);
  EXPECT_EQ(text.length(), 0xFFFFFFFFu);
  EXPECT_EQ(text.toString(), longText);
}
