// SPDX-License-Identifier: MIT
/// \file
/// The whole Brimsel Foundation Class Library in one include.
#ifndef BRIMSEL_BRIMSEL_H
#define BRIMSEL_BRIMSEL_H

/// \namespace Brimsel
/// Every class and function of the Brimsel Foundation Class Library.

#include <brimsel/config.h>
#include <brimsel/daemoncomm.h>
#include <brimsel/date.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <brimsel/guid.h>
#include <brimsel/initmap.h>
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>
#include <brimsel/subscriber.h>
#include <brimsel/time.h>
#include <brimsel/timestamp.h>
#include <brimsel/unitconversions.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>
#include <brimsel/variant.h>
#include <brimsel/version.h>

#endif  // BRIMSEL_BRIMSEL_H
