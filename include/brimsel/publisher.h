// SPDX-License-Identifier: MIT
/// \file
/// Publisher, the watched half of the library's observer pattern.
#ifndef BRIMSEL_PUBLISHER_H
#define BRIMSEL_PUBLISHER_H

#include <brimsel/export.h>
#include <brimsel/mutex.h>
#include <brimsel/subscriber.h>

#include <atomic>
#include <set>

namespace Brimsel {

/// The watched half of the library's observer pattern.
///
/// A class whose objects others want to watch derives from Publisher (or holds
/// one). Subscribers register with addSubscriber; changed() calls
/// notify(this, nREASON_CHANGED, data) on every registered subscriber, in
/// ascending order of their addresses; the destructor calls
/// notify(this, nREASON_DESTROYED, this) on each registered subscriber whose
/// notifyDeletes() is true. The publisher holds plain pointers: it neither owns
/// its subscribers nor keeps them alive.
///
/// Rules of a notification walk:
///  - it covers the set as it was when the walk began: a subscriber removed
///    during the walk is still notified in it if it comes later, and one added
///    during the walk is first notified by the next changed();
///  - it runs on the calling thread with the publisher's recursive mutex held,
///    so a subscriber may call addSubscriber, removeSubscriber or changed on
///    the same publisher from inside notify(); a nested changed() notifies the
///    subscribers registered at that moment before the outer walk goes on;
///  - notify() must not wait for another thread that needs the same
///    publisher.
///
/// From the start of the destructor on, addSubscriber, removeSubscriber and
/// changed do nothing, so a subscriber may call removeSubscriber from its end
/// notification. No thread may use a publisher once its destructor has started,
/// other than from inside the end notifications.
///
/// Contract: addSubscriber(nullptr) raises Exception 0 ("See legend", not
/// fatal) with the legend "Null subscriber." and changes nothing. An exception
/// thrown by notify() during changed() ends that walk and reaches the caller of
/// changed(), with the mutex released; a Brimsel::Exception thrown by an end
/// notification is dropped (a destructor cannot pass it on) and the remaining
/// subscribers are still told. Running out of memory while registering or
/// deregistering raises std::bad_alloc and leaves the set as it was.
#if defined(_MSC_VER)
// The Mutex member is 16-byte aligned, and the members before it leave a gap
// that MSVC reports as padding (C4324) in every file that includes this one.
#pragma warning(push)
#pragma warning(disable : 4324)
#endif
class BRIMSEL_API Publisher {
 public:
  /// The reasons a subscriber is notified with (an enumeration, so that no
  /// definition has to be imported from the library to use them).
  enum Reason {
    nREASON_CHANGED = 0,   ///< changed() was called; the data is its argument.
    nREASON_DESTROYED = 1  ///< The publisher is being destroyed; the data is its address.
  };

  /// A publisher with no subscribers.
  Publisher();
  /// Notifies the same subscribers as `other`; they are not told of the copy.
  Publisher(const Publisher& other);
  /// Leaves this publisher's subscribers, and its state, as they are: a
  /// publisher's registrations are its own and are not assigned.
  const Publisher& operator=(const Publisher& other);
  /// Sends the end notifications (see the class comment). A Brimsel::Exception
  /// thrown by one of them is dropped and the remaining subscribers are still
  /// told; any other exception ends the program, as from every destructor.
  virtual ~Publisher();

  /// Registers `subscriber`; registering it again changes nothing.
  /// \throws Exception 0 ("See legend", not fatal) with the legend "Null
  ///         subscriber." when `subscriber` is null; nothing changes then.
  /// \throws std::bad_alloc when memory runs out; the set stays as it was.
  void addSubscriber(Subscriber* subscriber);
  /// Deregisters `subscriber`; one that is not registered changes nothing.
  /// \throws std::bad_alloc when memory runs out; the set stays as it was.
  void removeSubscriber(Subscriber* subscriber);
  /// Notifies every registered subscriber with `data`, in ascending order of
  /// their addresses, on the calling thread; allocates nothing.
  /// \throws anything a subscriber's notify() throws: the walk ends there and
  ///         the exception reaches the caller, with the mutex released.
  void changed(void* data);

  /// The set itself, read without the lock: the caller must keep other
  /// threads from changing it meanwhile.
  const std::set<Subscriber*>& subscribers() const { return _subscribers; }

 private:
  // The set as an immutable, address-ordered array that notification walks
  // share: addSubscriber and removeSubscriber install a new one, so a walk
  // keeps the set as it was when it began and changed() allocates nothing.
  // The count holds the publisher's reference and one per running walk; it
  // is only touched with _mx held.
  struct Snapshot {
    int nRefs;
    Subscriber** ppBegin;
    Subscriber** ppEnd;
  };
  // Drops one reference, freeing the snapshot with the last one.
  static void releaseSnapshot(Snapshot* snapshot);
  void installSnapshot(const Subscriber* skip);

  mutable Mutex _mx;  // mutable: copying a publisher locks its source
  std::atomic<bool> _bDestroying;
  std::set<Subscriber*> _subscribers;
  Snapshot* _pSnapshot;
};
#if defined(_MSC_VER)
#pragma warning(pop)
#endif

// Inline so that the walk runs in the caller's own code: a call from a
// shared library into a subscriber in the program costs noticeably more per
// call than the same call made inside the program.
inline void Publisher::changed(void* data) {
  Mutex::Lock lock(_mx, "Publisher::changed");
  if (_bDestroying.load(std::memory_order_relaxed) || _pSnapshot == nullptr) return;
  struct Hold {
    Snapshot* p;
    ~Hold() { releaseSnapshot(p); }
  } hold{_pSnapshot};
  ++hold.p->nRefs;
  for (Subscriber** pp = hold.p->ppBegin; pp != hold.p->ppEnd; ++pp)
    (*pp)->notify(this, nREASON_CHANGED, data);
}

}  // namespace Brimsel

#endif  // BRIMSEL_PUBLISHER_H
