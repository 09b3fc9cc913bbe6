// SPDX-License-Identifier: MIT
#include "platform/event.h"

#include <windows.h>

namespace Brimsel {
namespace platform {

static_assert(nWAIT_OBJECT_0 == WAIT_OBJECT_0 && nWAIT_ABANDONED == WAIT_ABANDONED &&
                  nWAIT_TIMEOUT == WAIT_TIMEOUT && nWAIT_FAILED == WAIT_FAILED && nWAIT_INFINITE == INFINITE,
              "wait codes must be the platform's own");

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
unsigned long eventWait(Event* event, unsigned long timeoutMs) {
  return WaitForSingleObject(asHandle(event), static_cast<DWORD>(timeoutMs));
}

}  // namespace platform
}  // namespace Brimsel
