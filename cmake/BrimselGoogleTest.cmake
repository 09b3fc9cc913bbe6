# SPDX-License-Identifier: MIT
# Finds GoogleTest for the unit tests and sets BRIMSEL_GTEST_FOUND. An
# installed GoogleTest (find_package) is used when there is one; otherwise, and
# always in a cross build, GoogleTest is built from its sources (Debian's
# googletest package puts them in /usr/src/googletest). Either way the tests
# link GTest::gtest_main.
set(BRIMSEL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built when no installed GoogleTest is found (always in a cross build)")

set(BRIMSEL_GTEST_FOUND OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
  if(TARGET GTest::gtest_main)
    set(BRIMSEL_GTEST_FOUND ON)
  elseif(TARGET GTest::Main)
    # The names that FindGTest of CMake before 3.20 gives.
    add_library(GTest::gtest_main INTERFACE IMPORTED)
    set_target_properties(GTest::gtest_main PROPERTIES INTERFACE_LINK_LIBRARIES GTest::Main)
    set(BRIMSEL_GTEST_FOUND ON)
  endif()
endif()

if(NOT BRIMSEL_GTEST_FOUND AND EXISTS "${BRIMSEL_GTEST_SOURCE_DIR}/CMakeLists.txt")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${BRIMSEL_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  set(BRIMSEL_GTEST_FOUND ON)
endif()
