// SPDX-License-Identifier: MIT
// BRIMSEL_CONSTINIT marks a static object that must be initialised at compile
// time (no constructor run when the library loads); compilers that can check
// it refuse the build otherwise.
#ifndef BRIMSEL_CALENDAR_CONSTINIT_H
#define BRIMSEL_CALENDAR_CONSTINIT_H

#if defined(__cpp_constinit)
#define BRIMSEL_CONSTINIT constinit
#elif defined(__clang__)
#define BRIMSEL_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__) && __GNUC__ >= 10
#define BRIMSEL_CONSTINIT __constinit
#else
#define BRIMSEL_CONSTINIT
#endif

#endif  // BRIMSEL_CALENDAR_CONSTINIT_H
