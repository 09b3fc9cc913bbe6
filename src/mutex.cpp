// SPDX-License-Identifier: MIT
#include "platform/mutex.h"

#include <brimsel/mutex.h>

#include <cstring>

namespace Brimsel {

static_assert(Mutex::nLOCK_STORAGE_SIZE == platform::kMutexStorageSize, "storage sizes differ");
static_assert(Mutex::nLOCK_STORAGE_ALIGN == platform::kMutexStorageAlign,
              "storage alignments differ");

Mutex::Mutex(const char* name) : _aLock(), _pszName(nullptr) {
  // The copy is made first so that a failed allocation leaves no lock behind.
  if (name != nullptr && name[0] != '\0') {
    const std::size_t n = std::strlen(name) + 1;
    _pszName = new char[n];
    std::memcpy(_pszName, name, n);
  }
  platform::mutexInit(_aLock);
}

Mutex::~Mutex() {
  delete[] _pszName;
  _pszName = nullptr;
  platform::mutexDestroy(_aLock);
}

// lock() and unlock() live with the OS code (see platform/mutex.h).

}  // namespace Brimsel
