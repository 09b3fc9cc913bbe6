// SPDX-License-Identifier: MIT
// OS seam: the recursive lock inside a Mutex.
//
// Mutex::lock and Mutex::unlock are defined in the OS files of this concern
// (mutex_win.cpp, mutex_posix.cpp) rather than in mutex.cpp: an uncontended
// lock is then one call into the library, not a call through a second layer.
#ifndef BRIMSEL_SRC_PLATFORM_MUTEX_H
#define BRIMSEL_SRC_PLATFORM_MUTEX_H

#include <cstddef>

namespace Brimsel {
namespace platform {

// Every implementation checks at compile time that its lock object fits.
constexpr std::size_t nMUTEX_STORAGE_SIZE = 64;
constexpr std::size_t nMUTEX_STORAGE_ALIGN = 16;

// Sets up a free recursive lock in `storage` (this cannot fail).
void mutexInit(void* storage);
// Releases the lock's resources; the lock must be free.
void mutexDestroy(void* storage);

// Raises the Exception of a failed lock or a refused unlock (mutex.cpp).
[[noreturn]] void mutexLockFailed();
[[noreturn]] void mutexNotOwned();

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_MUTEX_H
