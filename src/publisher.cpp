#include <brimsel/publisher.h>

#include <brimsel/exception.h>

#include <memory>
#include <vector>

namespace Brimsel {

// An immutable, address-ordered copy of the subscriber set. The publisher
// holds one reference to the current snapshot and each running walk holds
// another, so a walk keeps the set as it was when it began while add and
// remove install a new snapshot. The count is only touched with the
// publisher's mutex held.
struct Publisher::Snapshot {
  int nRefs;
  std::vector<Subscriber*> items;
};

class Publisher::SnapshotRef {
 public:
  explicit SnapshotRef(Snapshot* p) : _p(p) {
    if (_p != nullptr) ++_p->nRefs;
  }
  ~SnapshotRef() {
    if (_p != nullptr && --_p->nRefs == 0) delete _p;
  }
  SnapshotRef(const SnapshotRef&) = delete;
  SnapshotRef& operator=(const SnapshotRef&) = delete;

  const std::vector<Subscriber*>* items() const { return _p != nullptr ? &_p->items : nullptr; }

 private:
  Snapshot* _p;
};

namespace {

// A snapshot of `set` without `skip` (null, or a member of the set), or null
// when nothing would be in it. A template only to reach the private type.
template <typename Snapshot>
Snapshot* makeSnapshot(const std::set<Subscriber*>& set, const Subscriber* skip) {
  const std::size_t n = set.size() - (skip != nullptr ? 1 : 0);
  if (n == 0) return nullptr;
  std::unique_ptr<Snapshot> next(new Snapshot{1, {}});
  next->items.reserve(n);
  for (Subscriber* s : set) {
    if (s != skip) next->items.push_back(s);
  }
  return next.release();
}

}  // namespace

void Publisher::installSnapshot(Snapshot* next) {
  Snapshot* old = _pSnapshot;
  _pSnapshot = next;
  if (old != nullptr && --old->nRefs == 0) delete old;
}

Publisher::Publisher() : _mx("Publisher::_mx"), _bDestroying(false), _pSnapshot(nullptr) {}

Publisher::Publisher(const Publisher& other) : _mx("Publisher::_mx"), _bDestroying(false), _pSnapshot(nullptr) {
  Mutex::Lock lock(other._mx, "Publisher::Publisher(const Publisher&)");
  _subscribers = other._subscribers;
  _pSnapshot = makeSnapshot<Snapshot>(_subscribers, nullptr);
}

// Copying the source's "being destroyed" flag would either stop a live
// publisher for good (assigned from one being destroyed) or revive one in the
// middle of its destructor, so assignment leaves this publisher as it is.
const Publisher& Publisher::operator=(const Publisher& /*other*/) { return *this; }

Publisher::~Publisher() {
  Mutex::Lock lock(_mx, "Publisher::~Publisher()");
  _bDestroying.store(true, std::memory_order_relaxed);
  {
    SnapshotRef walk(_pSnapshot);
    if (walk.items() != nullptr) {
      for (Subscriber* s : *walk.items()) {
        if (!s->notifyDeletes()) continue;
        try {
          s->notify(this, nREASON_DESTROYED, this);
        } catch (const Exception&) {
          // A destructor cannot pass it on; the other subscribers still
          // need their end notification.
        }
      }
    }
  }
  installSnapshot(nullptr);
}

void Publisher::addSubscriber(Subscriber* subscriber) {
  if (subscriber == nullptr) throw Exception(__FILE__, __LINE__, 0, false, "Null subscriber.");
  Mutex::Lock lock(_mx, "Publisher::addSubscriber");
  if (_bDestroying.load(std::memory_order_relaxed)) return;
  const auto inserted = _subscribers.insert(subscriber);
  if (!inserted.second) return;
  try {
    installSnapshot(makeSnapshot<Snapshot>(_subscribers, nullptr));
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
  // Built before anything changes, so a failed allocation changes nothing.
  Snapshot* next = makeSnapshot<Snapshot>(_subscribers, subscriber);
  _subscribers.erase(it);
  installSnapshot(next);
}

void Publisher::changed(void* data) {
  Mutex::Lock lock(_mx, "Publisher::changed");
  if (_bDestroying.load(std::memory_order_relaxed)) return;
  SnapshotRef walk(_pSnapshot);
  if (walk.items() == nullptr) return;
  for (Subscriber* s : *walk.items()) s->notify(this, nREASON_CHANGED, data);
}

}  // namespace Brimsel
