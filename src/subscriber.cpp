// SPDX-License-Identifier: MIT
#include <brimsel/subscriber.h>

namespace Brimsel {

Subscriber::Subscriber(bool notifyDeletes) : _pContext(nullptr), _bNotifyDeletes(notifyDeletes) {}

Subscriber::Subscriber(void* context, bool notifyDeletes)
    : _pContext(context), _bNotifyDeletes(notifyDeletes) {}

Subscriber::Subscriber(const Subscriber& other)
    : _pContext(other._pContext), _bNotifyDeletes(other._bNotifyDeletes) {}

const Subscriber& Subscriber::operator=(const Subscriber& other) {
  if (this != &other) {
    _pContext = other._pContext;
    _bNotifyDeletes = other._bNotifyDeletes;
  }
  return *this;
}

Subscriber::~Subscriber() = default;

}  // namespace Brimsel
