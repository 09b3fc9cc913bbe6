# SPDX-License-Identifier: MIT
# The message table that the event viewer reads for entries the library
# writes: resources/messages.mc compiled by the message compiler (windmc from
# mingw-w64, or mc) into a .bin and an .rc.
#  - Shared library: the resource compiler links it into brimsel.dll, next
#    to the version resource.
#  - Static library: the table must be in the program itself (the event
#    source names the program as its message file), and a resource inside a
#    static library would be dropped by the linker, as nothing refers to it.
#    So the .rc is compiled into a resource object of its own
#    (brimsel-messages.o from windres, brimsel-messages.res from rc), which
#    the library's interface adds to the link of every program that uses it,
#    in the build tree and once installed (lib/).
#
# The texts are stored as UTF-16 (-U) and each must end in CR LF. The message
# compiler keeps the line ends of its input, so the .mc is first copied into
# the build tree with CR LF line ends, whatever the checkout has.
if(CMAKE_MC_COMPILER)
  set(BRIMSEL_MC_COMPILER ${CMAKE_MC_COMPILER})
else()
  find_program(BRIMSEL_MC_COMPILER NAMES x86_64-w64-mingw32-windmc windmc mc)
  if(NOT BRIMSEL_MC_COMPILER)
    message(FATAL_ERROR "No message compiler (windmc or mc) was found for the Windows message table")
  endif()
endif()

set(_brimsel_mc_dir ${CMAKE_CURRENT_BINARY_DIR}/messages)
configure_file(${PROJECT_SOURCE_DIR}/resources/messages.mc ${_brimsel_mc_dir}/src/messages.mc
               @ONLY NEWLINE_STYLE CRLF)

add_custom_command(
  OUTPUT ${_brimsel_mc_dir}/messages.rc ${_brimsel_mc_dir}/messages.h ${_brimsel_mc_dir}/MSG00409.bin
  COMMAND ${BRIMSEL_MC_COMPILER} -U -r ${_brimsel_mc_dir} -h ${_brimsel_mc_dir}
          ${_brimsel_mc_dir}/src/messages.mc
  DEPENDS ${_brimsel_mc_dir}/src/messages.mc
  WORKING_DIRECTORY ${_brimsel_mc_dir}
  COMMENT "Compiling the message table of the Brimsel library"
  VERBATIM)
add_custom_target(brimsel_messages DEPENDS ${_brimsel_mc_dir}/messages.rc ${_brimsel_mc_dir}/MSG00409.bin)

if(BRIMSEL_SHARED)
  # The generated .rc names its .bin relative to its own folder.
  target_sources(brimsel PRIVATE ${_brimsel_mc_dir}/messages.rc)
  set_source_files_properties(${_brimsel_mc_dir}/messages.rc PROPERTIES
    GENERATED TRUE
    OBJECT_DEPENDS ${_brimsel_mc_dir}/MSG00409.bin)
  target_include_directories(brimsel PRIVATE ${_brimsel_mc_dir})
  add_dependencies(brimsel brimsel_messages)
else()
  if(MSVC)
    set(_brimsel_mc_object_name brimsel-messages.res)
    set(_brimsel_rc_command ${CMAKE_RC_COMPILER} /nologo /I ${_brimsel_mc_dir}
        /fo ${_brimsel_mc_dir}/${_brimsel_mc_object_name} ${_brimsel_mc_dir}/messages.rc)
  else()
    set(_brimsel_mc_object_name brimsel-messages.o)
    set(_brimsel_rc_command ${CMAKE_RC_COMPILER} -O coff -I ${_brimsel_mc_dir}
        ${_brimsel_mc_dir}/messages.rc ${_brimsel_mc_dir}/${_brimsel_mc_object_name})
  endif()
  set(BRIMSEL_MESSAGES_OBJECT ${_brimsel_mc_dir}/${_brimsel_mc_object_name})
  # For the install rules (cmake/BrimselInstall.cmake).
  set_property(TARGET brimsel PROPERTY BRIMSEL_MESSAGES_OBJECT ${BRIMSEL_MESSAGES_OBJECT})
  add_custom_command(
    OUTPUT ${BRIMSEL_MESSAGES_OBJECT}
    COMMAND ${_brimsel_rc_command}
    DEPENDS ${_brimsel_mc_dir}/messages.rc ${_brimsel_mc_dir}/MSG00409.bin
    WORKING_DIRECTORY ${_brimsel_mc_dir}
    COMMENT "Compiling the message table into ${_brimsel_mc_object_name}"
    VERBATIM)
  add_custom_target(brimsel_messages_object DEPENDS ${BRIMSEL_MESSAGES_OBJECT})
  add_dependencies(brimsel brimsel_messages_object)
  target_link_libraries(brimsel INTERFACE
    "$<BUILD_INTERFACE:${BRIMSEL_MESSAGES_OBJECT}>"
    "$<INSTALL_INTERFACE:$<INSTALL_PREFIX>/${CMAKE_INSTALL_LIBDIR}/${_brimsel_mc_object_name}>")
endif()
