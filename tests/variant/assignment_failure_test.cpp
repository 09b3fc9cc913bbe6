// Assignment must leave its target unchanged when an allocation fails. The
// test program replaces the global allocation functions so that a chosen
// allocation fails; where the library does not allocate through them (a
// Windows DLL has its own), the cases skip.
#include <brimsel/variable.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

using Brimsel::Variable;
using Brimsel::Variant;

namespace {

// -1: allocations succeed; n >= 0: the allocation after the next n fails.
std::atomic<long> gFailAfter{-1};

void* allocate(std::size_t n) {
  if (gFailAfter.load() >= 0 && gFailAfter.fetch_sub(1) == 0) throw std::bad_alloc();
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

// Arms the failure for one statement's allocations and disarms it again.
struct FailNextAllocation {
  FailNextAllocation() { gFailAfter = 0; }
  ~FailNextAllocation() { gFailAfter = -1; }
};

bool libraryAllocationsCanFail() {
  const unsigned char byte = 1;
  try {
    FailNextAllocation arm;
    Variant probe(&byte, 1);
  } catch (const std::bad_alloc&) {
    return true;
  }
  return false;
}

const unsigned char kBytes[] = {9, 8, 7, 6};
const std::string kLongText(200, 'x');  // beyond any small-string buffer

}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(AssignmentFailure, BinaryTargetKeepsItsBufferWhenTheTextCannotBeCopied) {
  if (!libraryAllocationsCanFail()) GTEST_SKIP() << "the library's allocations cannot be made to fail here";
  Variant target(kBytes, sizeof kBytes);
  const unsigned char* buffer = target.toBinary();
  const Variant source(kLongText);
  {
    FailNextAllocation arm;
    EXPECT_THROW(target = source, std::bad_alloc);
  }
  EXPECT_EQ(target.type(), Variant::vtBinary);
  EXPECT_EQ(target.length(), sizeof kBytes);
  ASSERT_EQ(target.toBinary(), buffer);
  EXPECT_EQ(std::memcmp(buffer, kBytes, sizeof kBytes), 0);
  const Variant copy(target);  // a length without a buffer would be read here
  EXPECT_EQ(std::memcmp(copy.toBinary(), kBytes, sizeof kBytes), 0);
  target = source;
  EXPECT_EQ(target.toString(), kLongText);
}

TEST(AssignmentFailure, TextTargetIsUnchangedWhenTheBufferCannotBeAllocated) {
  if (!libraryAllocationsCanFail()) GTEST_SKIP() << "the library's allocations cannot be made to fail here";
  Variant target(kLongText);
  const Variant source(kBytes, sizeof kBytes);
  {
    FailNextAllocation arm;
    EXPECT_THROW(target = source, std::bad_alloc);
  }
  EXPECT_EQ(target.type(), Variant::vtString);
  EXPECT_EQ(target.length(), 0xFFFFFFFFu);
  EXPECT_EQ(target.toString(), kLongText);
}

TEST(AssignmentFailure, UnnamedVariableKeepsValueAndNameWhenTheNameCannotBeCopied) {
  if (!libraryAllocationsCanFail()) GTEST_SKIP() << "the library's allocations cannot be made to fail here";
  Variable target;
  target = Variable("", Variant(5));
  const Variable source(kLongText, Variant(6));
  {
    FailNextAllocation arm;
    EXPECT_THROW(target = source, std::bad_alloc);
  }
  EXPECT_TRUE(target.name.empty());
  EXPECT_EQ(target.toInt(), 5);
}
