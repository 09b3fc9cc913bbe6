# SPDX-License-Identifier: MIT
# Decides which optional parts are built. Each BRIMSEL_BUILD_<part> option asks
# for a part; what the part needs is looked for here, and when something is
# missing the part is left out with a message instead of failing the
# configuration. Sets BRIMSEL_TESTS, BRIMSEL_BENCHMARKS and BRIMSEL_FUZZ.

set(BRIMSEL_TESTS OFF)
if(BRIMSEL_BUILD_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/BrimselGoogleTest.cmake)
  if(BRIMSEL_GTEST_FOUND)
    set(BRIMSEL_TESTS ON)
  else()
    message(STATUS "Brimsel: unit tests off: GoogleTest was not found "
                   "(install it, e.g. Debian's libgtest-dev, or set BRIMSEL_GTEST_SOURCE_DIR)")
  endif()
endif()

set(BRIMSEL_BENCHMARKS OFF)
if(BRIMSEL_BUILD_BENCHMARKS)
  # The benchmarks measure the library against its peers, so they need the
  # peers as well as Google Benchmark.
  set(_brimsel_missing "")
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    list(APPEND _brimsel_missing "Google Benchmark")
  endif()
  find_package(Boost QUIET)
  if(NOT Boost_FOUND)
    list(APPEND _brimsel_missing Boost)
  endif()
  find_package(absl QUIET)
  if(NOT absl_FOUND)
    list(APPEND _brimsel_missing Abseil)
  endif()
  find_package(Poco QUIET COMPONENTS Foundation)
  if(NOT Poco_FOUND)
    list(APPEND _brimsel_missing POCO)
  endif()
  find_library(BRIMSEL_ISAL_LIBRARY isal)
  if(NOT BRIMSEL_ISAL_LIBRARY)
    list(APPEND _brimsel_missing ISA-L)
  endif()
  if(_brimsel_missing)
    string(REPLACE ";" ", " _brimsel_missing "${_brimsel_missing}")
    message(STATUS "Brimsel: benchmarks off: not found: ${_brimsel_missing}")
  else()
    set(BRIMSEL_BENCHMARKS ON)
  endif()
endif()

set(BRIMSEL_FUZZ OFF)
if(BRIMSEL_BUILD_FUZZ)
  # libFuzzer targets are only worth building when the code is instrumented
  # for them, as the fuzz preset does.
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(STATUS "Brimsel: fuzz targets off: they need clang (the compiler is ${CMAKE_CXX_COMPILER_ID})")
  elseif(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*fuzzer")
    message(STATUS "Brimsel: fuzz targets off: CMAKE_CXX_FLAGS has no -fsanitize=fuzzer-no-link "
                   "(see the fuzz preset)")
  else()
    set(BRIMSEL_FUZZ ON)
  endif()
endif()

# The library's own tests, benchmarks and fuzz targets reach its internal
# seams through brimsel_internal, a static library of the same objects.
if(BRIMSEL_TESTS OR BRIMSEL_BENCHMARKS OR BRIMSEL_FUZZ)
  set(BRIMSEL_INTERNAL ON)
else()
  set(BRIMSEL_INTERNAL OFF)
endif()
