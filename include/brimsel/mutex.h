// SPDX-License-Identifier: MIT
/// \file
/// Mutex, the library's recursive lock, and Mutex::Lock, its scope guard.
#ifndef BRIMSEL_MUTEX_H
#define BRIMSEL_MUTEX_H

#include <brimsel/export.h>

#include <cstddef>

namespace Brimsel {

/// The library's recursive mutual-exclusion lock.
///
/// One thread at a time owns a Mutex. The owning thread may lock it again
/// without blocking; every lock needs its own unlock, and the mutex is free
/// again only when the count is back to zero. Another thread that locks it
/// meanwhile waits, without a time limit and without any fairness promise.
/// There is no try-lock and no timed lock.
///
/// Each mutex keeps a private copy of the name it was given (none when the
/// name is null or empty); the name and the site texts passed to lock() are
/// for the reader of the code only and never change how the lock behaves.
///
/// Contract:
///  - Construction cannot fail (beyond memory exhaustion while copying the
///    name). lock() raises Exception 0 ("See legend", not fatal) with the
///    legend "Mutex lock failed." only when the owner's count cannot grow
///    (Linux, after about four billion nested locks).
///  - unlock() called by a thread that does not own the mutex raises
///    Exception 0 (not fatal) with the legend "Mutex is not owned by the
///    calling thread." and changes nothing: a stray unlock must not free a
///    mutex that another thread holds.
///  - A Mutex must not be owned by any thread when it is destroyed, and no
///    thread may use it while it is constructed or destroyed.
///  - A Mutex is neither copied nor assigned; a Lock is neither copied nor
///    assigned, so every lock a Lock takes is matched by exactly one unlock.
class BRIMSEL_API Mutex {
 public:
  /// Sets up a free lock and keeps its own copy of `name` (may be null).
  Mutex(const char* name);
  /// Releases the lock; no thread may own it any more.
  virtual ~Mutex();

  /// Waits until the calling thread owns the mutex; one level more when it
  /// owns it already. `site` names the locking place; it may be null.
  /// \throws Exception 0 ("See legend", not fatal) with the legend "Mutex
  ///         lock failed." when the owner's count cannot grow.
  void lock(const char* site);
  /// Gives up one level of ownership; only the owning thread may call it.
  /// \throws Exception 0 ("See legend", not fatal) with the legend "Mutex is
  ///         not owned by the calling thread." when the calling thread does
  ///         not own the mutex; nothing changes then.
  void unlock();

  /// The kept copy of the name, or null when none was given.
  const char* name() const { return _pszName; }

  /// Locks a mutex for the lifetime of the guard.
  ///
  /// The constructor returns when the calling thread owns the mutex, the
  /// destructor releases exactly that one level, also when its block is left
  /// by an exception. A Lock is neither copied nor assigned.
  class BRIMSEL_API Lock {
   public:
    /// Locks `mutex` (see Mutex::lock()); `site` names the locking place and
    /// may be null. Inline, so that a guard costs what a lock() and unlock()
    /// pair costs.
    /// \throws Exception as Mutex::lock() does; no lock is held then.
    Lock(Mutex& mutex, const char* site) : _mx(mutex) { _mx.lock(site); }
    /// Releases the one level of ownership the constructor took.
    virtual ~Lock() { _mx.unlock(); }  // NOLINT(bugprone-exception-escape): the owner unlocks

    Lock(const Lock&) = delete;             ///< Not copied.
    Lock& operator=(const Lock&) = delete;  ///< Not assigned.

   private:
    Mutex& _mx;
  };

  /// Room for the operating system's lock object, kept inside the Mutex so
  /// that locking costs no indirection (the library checks that it fits).
  static constexpr std::size_t nLOCK_STORAGE_SIZE = 64;
  /// The alignment of the room for the operating system's lock object.
  static constexpr std::size_t nLOCK_STORAGE_ALIGN = 16;

 private:
  Mutex(const Mutex&);
  const Mutex& operator=(const Mutex&);

#if defined(_MSC_VER)
  // MSVC: the name first, so that the storage lies right after the vtable
  // pointer and the name (offset 16) and the class needs no padding, which
  // would raise warning C4324 ("structure was padded due to alignment
  // specifier") in every file that includes this header. GCC and Clang keep
  // the layout that the shipped libraries have.
  char* _pszName;
  alignas(nLOCK_STORAGE_ALIGN) unsigned char _aLock[nLOCK_STORAGE_SIZE];
#else
  alignas(nLOCK_STORAGE_ALIGN) unsigned char _aLock[nLOCK_STORAGE_SIZE];
  char* _pszName;
#endif
};

}  // namespace Brimsel

#endif  // BRIMSEL_MUTEX_H
