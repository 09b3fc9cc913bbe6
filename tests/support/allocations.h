// SPDX-License-Identifier: MIT
// The allocation functions of a test program that links allocations.cpp:
// they count the calls made on each thread and can be told to fail. The
// library is linked statically, so its own allocations go through them too.
#ifndef BRIMSEL_TESTS_SUPPORT_ALLOCATIONS_H
#define BRIMSEL_TESTS_SUPPORT_ALLOCATIONS_H

namespace support {

// How many times operator new (any plain form) has run on this thread.
long allocations();
// The next allocation on this thread throws std::bad_alloc; false clears it.
void failNextAllocation(bool fail = true);

}  // namespace support

#endif  // BRIMSEL_TESTS_SUPPORT_ALLOCATIONS_H
