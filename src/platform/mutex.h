// SPDX-License-Identifier: MIT
// OS seam: the recursive lock inside a Mutex.
//
// Mutex::lock and Mutex::unlock are defined in the OS files of this concern
// (mutex_win.cpp, mutex_posix.cpp) rather than in mutex.cpp: an uncontended
// lock is then one call into the library, not a call through a second layer.
// They raise their Exceptions there too: 0 with "Mutex lock failed." when the
// count of one owner's locks would overflow, and 0 with "Mutex is not owned
// by the calling thread." for an unlock by any other thread.
#ifndef BRIMSEL_SRC_PLATFORM_MUTEX_H
#define BRIMSEL_SRC_PLATFORM_MUTEX_H

#include <cstddef>

namespace Brimsel {
namespace platform {

// Every implementation checks at compile time that its lock object fits.
constexpr std::size_t kMutexStorageSize = 64;
constexpr std::size_t kMutexStorageAlign = 16;

// Sets up a free recursive lock in `storage` (this cannot fail).
void mutexInit(void* storage);
// Releases the lock's resources; the lock must be free.
void mutexDestroy(void* storage);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_MUTEX_H
