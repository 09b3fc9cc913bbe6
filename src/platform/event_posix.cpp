// SPDX-License-Identifier: MIT
#include "platform/event.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

namespace Brimsel {
namespace platform {

// A flag guarded by a mutex, with a condition variable whose timed waits run
// on the monotonic clock, so that setting the wall clock neither shortens nor
// stretches a wait.
struct Event {
  pthread_mutex_t mx;
  pthread_cond_t cv;
  bool bSignalled;
};

namespace {

bool initCondition(pthread_cond_t* cv) {
  pthread_condattr_t attr;
  if (pthread_condattr_init(&attr) != 0) return false;
  const bool ok = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 && pthread_cond_init(cv, &attr) == 0;
  pthread_condattr_destroy(&attr);
  return ok;
}

// The monotonic time `ms` milliseconds from now.
bool deadlineAfter(unsigned long ms, timespec* deadline) {
  if (clock_gettime(CLOCK_MONOTONIC, deadline) != 0) return false;
  deadline->tv_sec += static_cast<time_t>(ms / 1000);
  deadline->tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline->tv_nsec >= 1000000000L) {
    deadline->tv_nsec -= 1000000000L;
    ++deadline->tv_sec;
  }
  return true;
}

}  // namespace

Event* eventCreate() {
  Event* e = new (std::nothrow) Event;
  if (e == nullptr) return nullptr;
  e->bSignalled = false;
  if (pthread_mutex_init(&e->mx, nullptr) != 0) {
    delete e;
    return nullptr;
  }
  if (!initCondition(&e->cv)) {
    pthread_mutex_destroy(&e->mx);
    delete e;
    return nullptr;
  }
  return e;
}

void eventClose(Event* e) {
  if (e == nullptr) return;
  pthread_cond_destroy(&e->cv);
  pthread_mutex_destroy(&e->mx);
  delete e;
}

void eventSet(Event* e) {
  if (e == nullptr || pthread_mutex_lock(&e->mx) != 0) return;
  e->bSignalled = true;
  // Signalled while the mutex is held: a waiter that wakes and destroys the
  // event cannot do so before this call is done with it.
  pthread_cond_signal(&e->cv);
  pthread_mutex_unlock(&e->mx);
}

unsigned long eventWait(Event* e, unsigned long timeoutMs) {
  if (e == nullptr || pthread_mutex_lock(&e->mx) != 0) return nWAIT_FAILED;
  unsigned long result = nWAIT_TIMEOUT;
  int rc = 0;
  if (timeoutMs >= nWAIT_INFINITE) {
    while (!e->bSignalled && rc == 0) rc = pthread_cond_wait(&e->cv, &e->mx);
  } else if (timeoutMs > 0) {
    timespec deadline;
    if (!deadlineAfter(timeoutMs, &deadline)) rc = EINVAL;
    // Loops over spurious wake-ups and over wake-ups whose signal another
    // waiter consumed first; the deadline stays fixed.
    while (!e->bSignalled && rc == 0) rc = pthread_cond_timedwait(&e->cv, &e->mx, &deadline);
  }
  if (e->bSignalled) {
    e->bSignalled = false;
    result = nWAIT_OBJECT_0;
  } else if (rc != 0 && rc != ETIMEDOUT) {
    result = nWAIT_FAILED;
  }
  pthread_mutex_unlock(&e->mx);
  return result;
}

}  // namespace platform
}  // namespace Brimsel
