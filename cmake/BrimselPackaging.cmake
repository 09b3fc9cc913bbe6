# SPDX-License-Identifier: MIT
# Packages made by cpack (only when Brimsel is the top-level project):
#  - Linux: two Debian packages, libbrimsel3 (the shared library) and
#    libbrimsel-dev (headers, the .so link, the static library, the CMake
#    package and the pkg-config files). Configure with
#    -DCMAKE_INSTALL_PREFIX=/usr so that the library lands in the multiarch
#    folder. Both carry the licence in their copyright file.
#  - Windows: one zip with the DLL, its import library, the runtime DLLs of the
#    compiler, the static library with its message table object, the headers,
#    the CMake package, the pkg-config files and LICENSE.txt.
# The static library comes from a second build tree of the same sources,
# configured with BUILD_SHARED_LIBS=OFF and named by BRIMSEL_PACKAGE_STATIC_DIR
# (scripts/package.sh does this); its components join those of this tree
# (its Runtime component holds only the same licence and changelog files).
set(BRIMSEL_PACKAGE_STATIC_DIR "" CACHE PATH
    "Build tree of the static library (BUILD_SHARED_LIBS=OFF) whose files join the packages")
set(CPACK_PACKAGE_NAME brimsel)
set(CPACK_PACKAGE_VENDOR "Brimsel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brimsel Foundation Class Library")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_CONTACT "Brimsel developers <developers@brimsel.invalid>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
# The library goes into the packages without its debugging sections.
set(CPACK_STRIP_FILES ON)

if(BRIMSEL_PACKAGE_STATIC_DIR)
  if(NOT EXISTS "${BRIMSEL_PACKAGE_STATIC_DIR}/cmake_install.cmake")
    message(FATAL_ERROR "BRIMSEL_PACKAGE_STATIC_DIR: ${BRIMSEL_PACKAGE_STATIC_DIR} is no configured build tree")
  endif()
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};Brimsel;ALL;/"
    "${BRIMSEL_PACKAGE_STATIC_DIR};Brimsel;ALL;/")
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_COMPONENTS_ALL Runtime Development)
  set(CPACK_PACKAGE_FILE_NAME brimsel-${CPACK_PACKAGE_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  # Install to the real prefix (/usr) below a staging DESTDIR, so that the
  # install rules see the prefix the files will have (brimsel.pc names /usr).
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_COMPONENTS_ALL Runtime Development)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brimsel.invalid/")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libbrimsel${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  # The shlibs file (only the runtime package holds a shared object).
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # dpkg runs ldconfig through the trigger. cpack also writes postinst and
  # postrm scripts that call ldconfig (harmless; see packaging/lintian-overrides).
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"Brimsel Foundation Class Library (shared library)
 Exceptions, text helpers, calendar values, typed values and templates,
 locks, signals, observers, an event logger and a daemon client.")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libbrimsel-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
      "libbrimsel${PROJECT_VERSION_MAJOR} (= ${CPACK_PACKAGE_VERSION})")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"Brimsel Foundation Class Library (development files)
 Headers, the static library, the CMake package Brimsel and the pkg-config
 files brimsel.pc and brimsel-static.pc of the Brimsel Foundation Class
 Library.")
endif()

include(CPack)
