// OS seam: a recursive lock living in storage that the caller provides.
#ifndef BRIMSEL_SRC_PLATFORM_MUTEX_H
#define BRIMSEL_SRC_PLATFORM_MUTEX_H

#include <cstddef>

namespace Brimsel {
namespace platform {

// Every implementation checks at compile time that its lock object fits.
constexpr std::size_t nMUTEX_STORAGE_SIZE = 64;
constexpr std::size_t nMUTEX_STORAGE_ALIGN = 16;

// Sets up a free recursive lock in `storage`; false when the OS refuses.
bool mutexInit(void* storage);
// Releases the lock's resources; the lock must be free.
void mutexDestroy(void* storage);
// Blocks until the calling thread owns the lock (one level more when it owns
// it already); false when the OS reports a failure.
bool mutexLock(void* storage);
// Drops one level of ownership; false, changing nothing, when the calling
// thread does not own the lock.
bool mutexUnlock(void* storage);

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_MUTEX_H
