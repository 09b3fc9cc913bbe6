// SPDX-License-Identifier: MIT
// Linux only: a function run in a child process of its own, for what must
// not happen to the test program itself (running out of address space, a
// system call the kernel refuses).
#ifndef BRIMSEL_TESTS_SUPPORT_CHILD_H
#define BRIMSEL_TESTS_SUPPORT_CHILD_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace support {

// Forks; the child limits its address space to `addressSpace` bytes (0: no
// limit; not under the address sanitizer, which needs more), runs `body` and
// exits with what it returns (125 when it throws). Waits at most `limit`,
// then kills the child. Returns "exit <code>", "signal <number>" or "timed out".
std::string inChild(const std::function<int()>& body, std::size_t addressSpace = 0,
                    std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// For a body: from now on the system call `number` (none when negative)
// fails with `error` in this process.
bool refuseSystemCall(long number, int error);

}  // namespace support

#endif  // BRIMSEL_TESTS_SUPPORT_CHILD_H
