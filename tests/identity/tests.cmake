# The Windows-only tests compare with the system's own identifier functions
# (rpcrt4) and read the library's version resource (version).
if(WIN32)
  target_link_libraries(${target} PRIVATE rpcrt4 version)
endif()
