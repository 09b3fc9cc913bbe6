// The whole Brimsel Foundation Class Library in one include.
#ifndef BRIMSEL_BRIMSEL_H
#define BRIMSEL_BRIMSEL_H

#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>
#include <brimsel/subscriber.h>
#include <brimsel/util.h>

#endif  // BRIMSEL_BRIMSEL_H
