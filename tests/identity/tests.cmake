# SPDX-License-Identifier: MIT
# On Windows the version test reads the library's version resource (version).
if(WIN32)
  target_link_libraries(${target} PRIVATE version)
endif()
