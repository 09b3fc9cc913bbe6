// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/event.h"

namespace Brimsel {
namespace platform {

static_assert(kWaitForever == INFINITE, "one value means no time limit");

// The Event pointer is the event's HANDLE itself.
namespace {
HANDLE asHandle(Event* event) { return reinterpret_cast<HANDLE>(event); }
}  // namespace

Event* eventCreate() {
  // No security attributes, automatic reset, not signalled, no name.
  return reinterpret_cast<Event*>(CreateEventW(NULL, FALSE, FALSE, NULL));
}

void eventClose(Event* event) {
  if (event != nullptr) CloseHandle(asHandle(event));
}

void eventSet(Event* event) { SetEvent(asHandle(event)); }

// A null handle is passed on as it is: WaitForSingleObject answers WAIT_FAILED.
WaitResult eventWait(Event* event, unsigned long timeoutMs) {
  switch (WaitForSingleObject(asHandle(event), static_cast<DWORD>(timeoutMs))) {
    case WAIT_OBJECT_0:
      return WaitResult::signalled;
    case WAIT_ABANDONED:
      return WaitResult::abandoned;
    case WAIT_TIMEOUT:
      return WaitResult::timedOut;
    case WAIT_FAILED:
      return WaitResult::failed;
    default:
      return WaitResult::unknown;
  }
}

}  // namespace platform
}  // namespace Brimsel
