// SPDX-License-Identifier: MIT
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <new>

#include "eventcatalogue.h"
#include "platform/eventlog.h"

namespace Brimsel {

using namespace catalogue;

// One open event source shared by a logger and its copies; the last holder
// closes it.
struct EventLogger::Source {
  platform::EventSource* handle;
  std::atomic<long> refs;
};

std::atomic<EventLogger*> EventLogger::_plogger{nullptr};

EventLogger::EventLogger(const std::string& source)
    : _pSource(nullptr), _hModule(nullptr), _nLevel(LEVEL_QUIET) {
  platform::EventSource* opened = platform::openEventSource(source);
  if (opened != nullptr) {
    // No operation of the logger throws: out of memory, it behaves like a
    // refused source.
    _pSource = new (std::nothrow) Source;
    if (_pSource == nullptr) {
      platform::closeEventSource(opened);
    } else {
      _pSource->handle = opened;
      _pSource->refs.store(1, std::memory_order_relaxed);
    }
  }
  _plogger.store(this, std::memory_order_release);
}

EventLogger::EventLogger(const EventLogger& other)
    : _pSource(other._pSource),
      _hModule(other._hModule),
      _nLevel(other._nLevel.load(std::memory_order_relaxed)) {
  if (_pSource != nullptr) {
    _pSource->refs.fetch_add(1, std::memory_order_relaxed);
  }
}

EventLogger& EventLogger::operator=(const EventLogger& other) {
  if (this != &other) {
    // Take the new share before dropping the old one: both may be the same.
    Source* shared = other._pSource;
    if (shared != nullptr) {
      shared->refs.fetch_add(1, std::memory_order_relaxed);
    }
    release();
    _pSource = shared;
    _hModule = other._hModule;
    _nLevel.store(other._nLevel.load(std::memory_order_relaxed), std::memory_order_relaxed);
  }
  return *this;
}

EventLogger::~EventLogger() {
  release();
  // Users of theLogger() need a live logger: do not leave them a dangling one.
  EventLogger* self = this;
  _plogger.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

void EventLogger::release() {
  if (_pSource != nullptr && _pSource->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    platform::closeEventSource(_pSource->handle);
    delete _pSource;
  }
  _pSource = nullptr;
}

EventLogger* EventLogger::theLogger() { return _plogger.load(std::memory_order_acquire); }

void EventLogger::setModuleHandle(ModuleHandle module) { _hModule = module; }

bool EventLogger::registerEventSource(const std::string& source) {
  try {
    return platform::registerEventSource(source, static_cast<const void*>(_hModule));
  } catch (...) {
    // Out of memory while building the names and paths: nothing was stored.
    return false;
  }
}

bool EventLogger::write(int type, unsigned long id, const char* text, Layer layer) {
  if (_pSource == nullptr) {
    return false;
  }
  return platform::reportEvent(_pSource->handle, type, categoryOf(layer), id, text);
}

bool EventLogger::logError(const std::string& msg, Layer layer) {
  return write(TYPE_ERROR, ERROR_POSTED, msg.c_str(), layer);
}

bool EventLogger::logWarning(const std::string& msg, Layer layer) {
  return write(TYPE_WARNING, WARNING_POSTED, msg.c_str(), layer);
}

// The level tests come first and touch nothing else, so that a filtered-out
// line costs one comparison.
bool EventLogger::logMessage(const std::string& msg, Layer layer) {
  if (_nLevel.load(std::memory_order_relaxed) < LEVEL_MESSAGE) {
    return false;
  }
  return logMessageP(msg, layer);
}

bool EventLogger::logDebug(const std::string& msg, Layer layer) {
  if (_nLevel.load(std::memory_order_relaxed) < LEVEL_DEBUG) {
    return false;
  }
  return logDebugP(msg, layer);
}

bool EventLogger::logTrace(const std::string& msg, Layer layer) {
  if (_nLevel.load(std::memory_order_relaxed) < LEVEL_TRACE) {
    return false;
  }
  return logTraceP(msg, layer);
}

bool EventLogger::logUnknown(Layer layer) {
  return write(TYPE_ERROR, UNKNOWN_EXCEPTION, nullptr, layer);
}

bool EventLogger::log(const Exception& e, Layer layer) {
  if (e.isFatal()) {
    return write(TYPE_ERROR, EXCEPTION_CRITICAL, e.legend().c_str(), layer);
  }
  return write(TYPE_WARNING, EXCEPTION_WARNING, e.legend().c_str(), layer);
}

bool EventLogger::logMessageP(const std::string& msg, Layer layer) {
  return write(TYPE_INFORMATION, MESSAGE_POSTED, msg.c_str(), layer);
}

bool EventLogger::logDebugP(const std::string& msg, Layer layer) {
  return write(TYPE_INFORMATION, DEBUG_POSTED, msg.c_str(), layer);
}

bool EventLogger::logTraceP(const std::string& msg, Layer layer) {
  return write(TYPE_INFORMATION, TRACE_POSTED, msg.c_str(), layer);
}

}  // namespace Brimsel
