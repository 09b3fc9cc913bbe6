# SPDX-License-Identifier: MIT
# The Windows tests read the version resource of brimsel.dll back.
if(WIN32)
  target_link_libraries(${target} PRIVATE version)
endif()
