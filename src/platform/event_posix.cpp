// SPDX-License-Identifier: MIT
#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "platform/event.h"

namespace Brimsel {
namespace platform {

// A flag and a queue of waiting threads, guarded by a mutex, with a
// condition variable whose timed waits run on the monotonic clock, so that
// setting the wall clock neither shortens nor stretches a wait.
//
// A signal that finds threads waiting releases the first of them by marking
// its entry, and leaves the flag alone: while k threads wait, k signals
// release k of them, and a thread that starts waiting afterwards cannot take
// a signal meant for one of them. Only a signal that finds nobody waiting
// sets the flag, which the next wait consumes; such signals collapse into one.
struct Waiter {
  Waiter* next;
  Waiter* prev;
  bool released;
};

struct Event {
  pthread_mutex_t mx;
  pthread_cond_t cv;
  bool signalled;
  unsigned long waiting;
  Waiter* first;  // the queue, oldest first
  Waiter* last;
};

namespace {

bool initCondition(pthread_cond_t* cv) {
  pthread_condattr_t attr;
  if (pthread_condattr_init(&attr) != 0) return false;
  const bool ok =
      pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 && pthread_cond_init(cv, &attr) == 0;
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
  e->signalled = false;
  e->waiting = 0;
  e->first = e->last = nullptr;
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
  if (Waiter* w = e->first) {
    e->first = w->next;
    if (e->first != nullptr)
      e->first->prev = nullptr;
    else
      e->last = nullptr;
    --e->waiting;
    w->released = true;
    // Every waiter looks at its own entry; with one waiter (the usual case)
    // this wakes just it. Done while the mutex is held: a waiter that wakes
    // and destroys the event cannot do so before this call is done with it.
    pthread_cond_broadcast(&e->cv);
  } else {
    e->signalled = true;
  }
  pthread_mutex_unlock(&e->mx);
}

WaitResult eventWait(Event* e, unsigned long timeoutMs) {
  if (e == nullptr || pthread_mutex_lock(&e->mx) != 0) return WaitResult::failed;
  WaitResult result = WaitResult::timedOut;
  if (e->signalled) {
    e->signalled = false;
    result = WaitResult::signalled;
  } else if (timeoutMs > 0) {
    Waiter self = {nullptr, e->last, false};
    if (e->last != nullptr)
      e->last->next = &self;
    else
      e->first = &self;
    e->last = &self;
    ++e->waiting;
    int rc = 0;
    if (timeoutMs >= kWaitForever) {
      while (!self.released && rc == 0) rc = pthread_cond_wait(&e->cv, &e->mx);
    } else {
      timespec deadline;
      if (!deadlineAfter(timeoutMs, &deadline)) rc = EINVAL;
      // Loops over spurious wake-ups and over wake-ups meant for another
      // waiter; the deadline stays fixed.
      while (!self.released && rc == 0) rc = pthread_cond_timedwait(&e->cv, &e->mx, &deadline);
    }
    if (self.released) {
      result = WaitResult::signalled;
    } else {
      // Timed out (or failed) before any signal chose this waiter.
      if (self.prev != nullptr)
        self.prev->next = self.next;
      else
        e->first = self.next;
      if (self.next != nullptr)
        self.next->prev = self.prev;
      else
        e->last = self.prev;
      --e->waiting;
      if (rc != ETIMEDOUT) result = WaitResult::failed;
    }
  }
  pthread_mutex_unlock(&e->mx);
  return result;
}

unsigned long eventWaiting(Event* e) {
  if (e == nullptr || pthread_mutex_lock(&e->mx) != 0) return 0;
  const unsigned long n = e->waiting;
  pthread_mutex_unlock(&e->mx);
  return n;
}

}  // namespace platform
}  // namespace Brimsel
