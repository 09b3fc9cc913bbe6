// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/publisher.h>

#include <memory>

#include "errors.h"

namespace Brimsel {

namespace {

// An array of the members of `set` without `skip` (null, or a member of the
// set), in the set's ascending address order; `n` receives its length.
std::unique_ptr<Subscriber* []> orderedArray(const std::set<Subscriber*>& set,
                                             const Subscriber* skip, std::size_t* n) {
  *n = set.size() - (skip != nullptr ? 1 : 0);
  std::unique_ptr<Subscriber*[]> items(new Subscriber*[*n]);
  std::size_t i = 0;
  for (Subscriber* s : set) {
    if (s != skip) items[i++] = s;
  }
  return items;
}

}  // namespace

void Publisher::releaseSnapshot(Snapshot* snapshot) {
  if (snapshot != nullptr && --snapshot->nRefs == 0) {
    delete[] snapshot->ppBegin;
    delete snapshot;
  }
}

// Builds the snapshot of the set without `skip` and installs it in place of
// the current one; nothing changes when an allocation fails.
void Publisher::installSnapshot(const Subscriber* skip) {
  std::size_t n = 0;
  std::unique_ptr<Subscriber*[]> items = orderedArray(_subscribers, skip, &n);
  Snapshot* next = nullptr;
  if (n != 0) {
    next = new Snapshot{1, items.get(), items.get() + n};
    items.release();
  }
  Snapshot* old = _pSnapshot;
  _pSnapshot = next;
  releaseSnapshot(old);
}

Publisher::Publisher() : _mx("Publisher::_mx"), _bDestroying(false), _pSnapshot(nullptr) {}

Publisher::Publisher(const Publisher& other)
    : _mx("Publisher::_mx"), _bDestroying(false), _pSnapshot(nullptr) {
  Mutex::Lock lock(other._mx, "Publisher::Publisher(const Publisher&)");
  _subscribers = other._subscribers;
  installSnapshot(nullptr);
}

// Copying the source's "being destroyed" flag would either stop a live
// publisher for good (assigned from one being destroyed) or revive one in the
// middle of its destructor, so assignment leaves this publisher as it is.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment): nothing is copied at all
const Publisher& Publisher::operator=(const Publisher& /*other*/) { return *this; }

Publisher::~Publisher() {
  Mutex::Lock lock(_mx, "Publisher::~Publisher()");
  _bDestroying.store(true, std::memory_order_relaxed);
  Snapshot* walk = _pSnapshot;
  _pSnapshot = nullptr;  // the walk takes over the publisher's reference
  if (walk == nullptr) return;
  for (Subscriber** pp = walk->ppBegin; pp != walk->ppEnd; ++pp) {
    if (!(*pp)->notifyDeletes()) continue;
    try {
      (*pp)->notify(this, nREASON_DESTROYED, this);
    } catch (const Exception&) {
      // A destructor cannot pass it on; the other subscribers still need
      // their end notification.
    }
  }
  releaseSnapshot(walk);
}

void Publisher::addSubscriber(Subscriber* subscriber) {
  if (subscriber == nullptr)
    throw Exception(BRIMSEL_HERE, detail::kSeeLegend, false, "Null subscriber.");
  Mutex::Lock lock(_mx, "Publisher::addSubscriber");
  if (_bDestroying.load(std::memory_order_relaxed)) return;
  const auto inserted = _subscribers.insert(subscriber);
  if (!inserted.second) return;
  try {
    installSnapshot(nullptr);
  } catch (...) {
    _subscribers.erase(inserted.first);
    throw;
  }
}

void Publisher::removeSubscriber(Subscriber* subscriber) {
  // Without locking: the end notifications may call this while the
  // destructor holds the mutex.
  if (_bDestroying.load(std::memory_order_relaxed)) return;
  Mutex::Lock lock(_mx, "Publisher::removeSubscriber");
  const auto it = _subscribers.find(subscriber);
  if (it == _subscribers.end()) return;
  installSnapshot(subscriber);  // first, so that a failed allocation changes nothing
  _subscribers.erase(it);
}

}  // namespace Brimsel
