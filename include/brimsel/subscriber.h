// SPDX-License-Identifier: MIT
/// \file
/// Subscriber, the watcher half of the library's observer pattern.
#ifndef BRIMSEL_SUBSCRIBER_H
#define BRIMSEL_SUBSCRIBER_H

#include <brimsel/export.h>

namespace Brimsel {

class Publisher;

/// The watcher half of the library's observer pattern (see Publisher).
///
/// A watcher derives from Subscriber and implements notify(). A publisher it
/// is registered with calls notify(publisher, 0, data) for each change
/// (Publisher::changed()) and, when the subscriber was made with notifyDeletes
/// true, notify(publisher, 1, publisher) when the publisher is destroyed.
/// The context pointer belongs to the subscriber's owner; publishers never
/// look at it.
///
/// A Subscriber does not know which publishers hold it and does not deregister
/// itself when destroyed: it must be removed from every publisher it was added
/// to first, unless that publisher is destroyed first. Nothing here raises an
/// exception.
class BRIMSEL_API Subscriber {
 public:
  /// Context null; `notifyDeletes` says whether publishers tell this
  /// subscriber of their end.
  Subscriber(bool notifyDeletes = true);
  /// The owner's `context` (publishers never look at it) and the end
  /// notification flag.
  Subscriber(void* context, bool notifyDeletes);
  /// Copies the context and the flag; the copy is registered with no publisher.
  Subscriber(const Subscriber& other);
  /// Copies the context and the flag unless both sides are the same object;
  /// registrations are not affected.
  const Subscriber& operator=(const Subscriber& other);
  /// Does not deregister the subscriber.
  virtual ~Subscriber();

  /// Whether this subscriber is told when a publisher holding it is destroyed.
  bool notifyDeletes() const { return _bNotifyDeletes; }
  /// The context given at construction, or null.
  const void* subscriberContext() const { return _pContext; }

  /// Called by `publisher` with reason 0 (Publisher::nREASON_CHANGED) and the
  /// data given to changed(), or with reason 1 (Publisher::nREASON_DESTROYED)
  /// and the publisher's own address from its destructor. See Publisher for
  /// what an implementation may do and what its exceptions do.
  virtual void notify(Publisher* publisher, int reason, void* data) = 0;

 private:
  void* _pContext;
  bool _bNotifyDeletes;
};

}  // namespace Brimsel

#endif  // BRIMSEL_SUBSCRIBER_H
