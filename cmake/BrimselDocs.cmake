# SPDX-License-Identifier: MIT
# The API reference: Doxygen over the public headers (docs/Doxyfile), built
# into <build>/docs/html by the target brimsel_docs and, with BRIMSEL_INSTALL,
# installed to share/doc/brimsel/html. Only at top level, and only where
# Doxygen is found. scripts/docs.sh builds the same target and fails on any
# Doxygen warning.
if(NOT BRIMSEL_BUILD_DOCS OR NOT BRIMSEL_IS_TOP_LEVEL)
  return()
endif()
find_program(BRIMSEL_DOXYGEN doxygen)
if(NOT BRIMSEL_DOXYGEN)
  message(STATUS "Brimsel: API reference off: doxygen was not found")
  return()
endif()

set(_brimsel_docs ${PROJECT_BINARY_DIR}/docs)
# docs/Doxyfile holds the settings; this adds the generated <brimsel/config.h>
# and the folders of this build. Warnings fail the build with BRIMSEL_WERROR.
if(BRIMSEL_WERROR)
  set(_brimsel_docs_warn_as_error FAIL_ON_WARNINGS)
else()
  set(_brimsel_docs_warn_as_error NO)
endif()
file(WRITE ${_brimsel_docs}/Doxyfile.new
"@INCLUDE = ${PROJECT_SOURCE_DIR}/docs/Doxyfile
PROJECT_NUMBER = ${PROJECT_VERSION}
INPUT = docs/mainpage.md include/brimsel ${PROJECT_BINARY_DIR}/include/brimsel
STRIP_FROM_PATH = include ${PROJECT_BINARY_DIR}/include
STRIP_FROM_INC_PATH = include ${PROJECT_BINARY_DIR}/include
INCLUDE_PATH = include ${PROJECT_BINARY_DIR}/include
OUTPUT_DIRECTORY = ${_brimsel_docs}
WARN_LOGFILE = ${_brimsel_docs}/warnings.log
WARN_AS_ERROR = ${_brimsel_docs_warn_as_error}
")
# Rewritten only when it changes, so that a new configuration alone does not
# rebuild the pages.
configure_file(${_brimsel_docs}/Doxyfile.new ${_brimsel_docs}/Doxyfile COPYONLY)
add_custom_command(
  OUTPUT ${_brimsel_docs}/html/index.html
  # A fresh tree, so that pages of a removed declaration do not linger.
  COMMAND ${CMAKE_COMMAND} -E remove_directory ${_brimsel_docs}/html
  COMMAND ${BRIMSEL_DOXYGEN} ${_brimsel_docs}/Doxyfile
  DEPENDS ${BRIMSEL_PUBLIC_HEADERS} ${PROJECT_BINARY_DIR}/include/brimsel/config.h
          ${PROJECT_SOURCE_DIR}/docs/Doxyfile ${PROJECT_SOURCE_DIR}/docs/mainpage.md
          ${_brimsel_docs}/Doxyfile
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Building the API reference with Doxygen"
  VERBATIM)
add_custom_target(brimsel_docs ALL DEPENDS ${_brimsel_docs}/html/index.html)

if(BRIMSEL_INSTALL)
  install(DIRECTORY ${_brimsel_docs}/html/
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/brimsel/html COMPONENT Documentation)
endif()
