// SPDX-License-Identifier: MIT
/// \file
/// BRIMSEL_API, the mark of the library's exported classes and functions.
#ifndef BRIMSEL_EXPORT_H
#define BRIMSEL_EXPORT_H

/// \def BRIMSEL_API
/// Marks a public class or free function of the library for export.
///
/// Every public class and free function of the library carries the mark. On
/// Linux the library is built with hidden visibility, so only what carries the
/// mark is exported; on Windows the mark exports from brimsel.dll while it is
/// built (BRIMSEL_BUILDING) and imports into programs that use it. With
/// BRIMSEL_STATIC, defined while the static library is built and by its CMake
/// target (and brimsel-static.pc) for the programs that use it, the mark is
/// empty.
#if defined(BRIMSEL_STATIC)
#define BRIMSEL_API
#elif defined(_WIN32)
#if defined(BRIMSEL_BUILDING)
#define BRIMSEL_API __declspec(dllexport)
#else
#define BRIMSEL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define BRIMSEL_API __attribute__((visibility("default")))
#else
#define BRIMSEL_API
#endif

#endif  // BRIMSEL_EXPORT_H
