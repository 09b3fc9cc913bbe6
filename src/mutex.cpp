#include <brimsel/mutex.h>

#include <brimsel/exception.h>

#include <cstring>
#include <memory>

#include "platform/mutex.h"

namespace Brimsel {

static_assert(Mutex::nLOCK_STORAGE_SIZE == platform::nMUTEX_STORAGE_SIZE, "storage sizes differ");
static_assert(Mutex::nLOCK_STORAGE_ALIGN == platform::nMUTEX_STORAGE_ALIGN, "storage alignments differ");

Mutex::Mutex(const char* name) : _aLock(), _pszName(nullptr) {
  // The copy is made first so that a failed allocation leaves no lock behind.
  std::unique_ptr<char[]> copy;
  if (name != nullptr && name[0] != '\0') {
    const std::size_t n = std::strlen(name) + 1;
    copy.reset(new char[n]);
    std::memcpy(copy.get(), name, n);
  }
  if (!platform::mutexInit(_aLock)) {
    throw Exception(__FILE__, __LINE__, 0, false, "Mutex initialisation failed.");
  }
  _pszName = copy.release();
}

Mutex::~Mutex() {
  delete[] _pszName;
  _pszName = nullptr;
  platform::mutexDestroy(_aLock);
}

void Mutex::lock(const char* /*site*/) {
  if (!platform::mutexLock(_aLock)) {
    throw Exception(__FILE__, __LINE__, 0, false, "Mutex lock failed.");
  }
}

void Mutex::unlock() {
  if (!platform::mutexUnlock(_aLock)) {
    throw Exception(__FILE__, __LINE__, 0, false, "Mutex is not owned by the calling thread.");
  }
}

Mutex::Lock::Lock(Mutex& mutex, const char* site) : _mx(mutex) { _mx.lock(site); }

Mutex::Lock::~Lock() { _mx.unlock(); }

}  // namespace Brimsel
