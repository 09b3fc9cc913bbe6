// SPDX-License-Identifier: MIT
/// \file
/// Semaphore, a signal that one thread waits for, with a time limit.
#ifndef BRIMSEL_SEMAPHORE_H
#define BRIMSEL_SEMAPHORE_H

#include <brimsel/export.h>

namespace Brimsel {

/// Lets one thread wait, with a time limit, until another thread signals it.
///
/// Despite its name it does not count: it is a two-state, auto-resetting
/// signal. A signal that finds no waiter stays pending until the next wait
/// consumes it; several signals before a wait collapse into one; a successful
/// wait consumes the signal, so the following wait blocks again. When several
/// threads wait, each signal releases exactly one of them.
///
/// Copies share one event: a signal through any copy releases a wait on any
/// other, and the event is closed once, when the last copy is gone.
///
/// signal() and wait() may be called from any threads at the same time;
/// construction, destruction and assignment must not overlap with other use of
/// the same object.
///
/// Contract of wait(): returns true when the signal came (and consumes it),
/// false when the time ran out. Raises Exception 4200 ("Semaphore wait
/// failed.", not fatal) with the legend "Abandoned." or "Failed." when the
/// platform reports the wait abandoned or failed (also when the event could not
/// be created), and Exception 4201 ("Unknown/undocumented MS return code.", not
/// fatal) with an empty legend for any other platform result. The Semaphore
/// stays usable after either.
class BRIMSEL_API Semaphore {
 public:
  enum : unsigned long {
    nINFINITE = 0xFFFFFFFFul  ///< Waits with this timeout have no time limit.
  };

  /// Creates the event, not signalled. A failed creation is not reported
  /// here: it shows up as a failed wait.
  Semaphore();
  /// Refers to the same event as `other`.
  Semaphore(const Semaphore& other);
  /// Drops this object's event (closing it when no other copy refers to it)
  /// and then refers to the same event as `other`.
  Semaphore& operator=(const Semaphore& other);
  /// Drops this object's event, closing it when no other copy refers to it.
  virtual ~Semaphore();

  /// Makes the event signalled; `bAny` has no effect: signal(true) and
  /// signal(false) do the same. Never throws.
  void signal(bool bAny);
  /// Waits up to `timeout` milliseconds (a 32-bit count) for the signal.
  /// nINFINITE waits without limit and 0 only tests; where unsigned long is
  /// wider than 32 bits, a larger count also waits without limit rather than
  /// being cut short.
  /// \return true when the signal came (it is consumed), false when the time
  ///         ran out.
  /// \throws Exception 4200 ("Semaphore wait failed.", not fatal) with the
  ///         legend "Abandoned." when the platform reports the wait abandoned,
  ///         or "Failed." when it reports it failed or the event could not be
  ///         created.
  /// \throws Exception 4201 ("Unknown/undocumented MS return code.", not
  ///         fatal) with an empty legend for any other platform result.
  bool wait(unsigned long timeout);

 private:
  struct Shared;
  void release();

  Shared* _pShared;
};

}  // namespace Brimsel

#endif  // BRIMSEL_SEMAPHORE_H
