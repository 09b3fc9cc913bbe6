# The message table of brimsel.dll: resources/messages.mc compiled by the
# message compiler (windmc from mingw-w64, or mc) into a .bin and an .rc that
# the resource compiler links into the library next to the version resource.
#
# The texts are stored as UTF-16 (-U) and each must end in CR LF. The message
# compiler keeps the line ends of its input, so the .mc is first copied into
# the build tree with CR LF line ends, whatever the checkout has.
if(CMAKE_MC_COMPILER)
  set(BRIMSEL_MC_COMPILER ${CMAKE_MC_COMPILER})
else()
  find_program(BRIMSEL_MC_COMPILER NAMES x86_64-w64-mingw32-windmc windmc mc REQUIRED)
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
  COMMENT "Compiling the message table of brimsel.dll"
  VERBATIM)
add_custom_target(brimsel_messages DEPENDS ${_brimsel_mc_dir}/messages.rc ${_brimsel_mc_dir}/MSG00409.bin)

# The generated .rc names its .bin relative to its own folder.
target_sources(brimsel PRIVATE ${_brimsel_mc_dir}/messages.rc)
set_source_files_properties(${_brimsel_mc_dir}/messages.rc PROPERTIES
  GENERATED TRUE
  OBJECT_DEPENDS ${_brimsel_mc_dir}/MSG00409.bin)
target_include_directories(brimsel PRIVATE ${_brimsel_mc_dir})
add_dependencies(brimsel brimsel_messages)
