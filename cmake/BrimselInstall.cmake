# SPDX-License-Identifier: MIT
# The CMake package Brimsel (target Brimsel::brimsel), for the build tree (at
# top level) and, with BRIMSEL_INSTALL, the install rules of the library, its
# headers, the package and the pkg-config file.
#
# A shared build exports BrimselTargets.cmake (Brimsel::brimsel), a static
# build BrimselStaticTargets.cmake (Brimsel::brimsel_static); BrimselConfig
# loads whichever are there, so one prefix can hold both kinds.
include(CMakePackageConfigHelpers)

if(BRIMSEL_SHARED)
  set(BRIMSEL_EXPORT BrimselTargets)
  set(BRIMSEL_OTHER_EXPORT BrimselStaticTargets)
  set(BRIMSEL_PC_NAME brimsel)
else()
  set(BRIMSEL_EXPORT BrimselStaticTargets)
  set(BRIMSEL_OTHER_EXPORT BrimselTargets)
  set(BRIMSEL_PC_NAME brimsel-static)
endif()
set(BRIMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brimsel)

# The same package file serves the build tree and the installed tree: it
# depends on nothing but its own folder.
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/BrimselConfig.cmake.in
  ${PROJECT_BINARY_DIR}/BrimselConfig.cmake INSTALL_DESTINATION ${BRIMSEL_CMAKE_DIR}
  NO_SET_AND_CHECK_MACRO)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/BrimselConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)

if(BRIMSEL_IS_TOP_LEVEL)
  # find_package(Brimsel) with Brimsel_DIR (or CMAKE_PREFIX_PATH) naming this
  # build folder uses the library built here.
  export(TARGETS brimsel NAMESPACE Brimsel:: FILE ${PROJECT_BINARY_DIR}/${BRIMSEL_EXPORT}.cmake)
  # A build folder switched between the kinds keeps only the current one.
  file(REMOVE ${PROJECT_BINARY_DIR}/${BRIMSEL_OTHER_EXPORT}.cmake)
endif()

if(NOT BRIMSEL_INSTALL)
  return()
endif()

install(TARGETS brimsel EXPORT ${BRIMSEL_EXPORT}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(NOT BRIMSEL_SHARED AND CMAKE_STRIP)
  # A stripping install (cmake --install --strip, or cpack) strips the
  # debugging sections off the static library as well.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:brimsel>\")
    endif()" COMPONENT Development)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/brimsel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/brimsel/config.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brimsel COMPONENT Development)
get_target_property(BRIMSEL_MESSAGES_OBJECT brimsel BRIMSEL_MESSAGES_OBJECT)
if(BRIMSEL_MESSAGES_OBJECT)
  # The message table that programs linking the static library carry.
  install(FILES ${BRIMSEL_MESSAGES_OBJECT} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
endif()

install(EXPORT ${BRIMSEL_EXPORT} NAMESPACE Brimsel:: DESTINATION ${BRIMSEL_CMAKE_DIR}
  COMPONENT Development)
install(FILES ${PROJECT_BINARY_DIR}/BrimselConfig.cmake ${PROJECT_BINARY_DIR}/BrimselConfigVersion.cmake
  DESTINATION ${BRIMSEL_CMAKE_DIR} COMPONENT Development)

# pkg-config: brimsel.pc for the shared library, brimsel-static.pc for the
# static one. Installed to /usr (the Debian packages) the file names its
# prefix literally, as the distribution's own files do; anywhere else the
# prefix is found from the file's own place, so that the installed tree (or an
# unpacked zip) can be moved. Both forms are made here; the install picks one
# by the prefix it installs to (which cmake --install --prefix may change).
file(RELATIVE_PATH BRIMSEL_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" BRIMSEL_PC_TO_PREFIX "${BRIMSEL_PC_TO_PREFIX}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(BRIMSEL_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(BRIMSEL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(BRIMSEL_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(BRIMSEL_PC_LIBDIR "\${exec_prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
set(BRIMSEL_PC_SYSTEM_LIBS "")
if(WIN32)
  set(BRIMSEL_PC_SYSTEM_LIBS "-lws2_32 -lrpcrt4 -ladvapi32")
elseif(CMAKE_DL_LIBS)
  set(BRIMSEL_PC_SYSTEM_LIBS "-l${CMAKE_DL_LIBS}")
endif()
if(BRIMSEL_SHARED)
  set(BRIMSEL_PC_DESCRIPTION "Brimsel Foundation Class Library")
  set(BRIMSEL_PC_CFLAGS "-I\${includedir}")
  set(BRIMSEL_PC_LIBS "-L\${libdir} -lbrimsel")
  set(BRIMSEL_PC_LIBS_PRIVATE "-pthread ${BRIMSEL_PC_SYSTEM_LIBS}")
else()
  # The archive by its path: beside a shared library, -lbrimsel would pick that.
  set(BRIMSEL_PC_DESCRIPTION "Brimsel Foundation Class Library (static library)")
  set(BRIMSEL_PC_CFLAGS "-I\${includedir} -DBRIMSEL_STATIC")
  set(BRIMSEL_PC_LIBS "\${libdir}/$<TARGET_FILE_NAME:brimsel>")
  if(BRIMSEL_MESSAGES_OBJECT)
    get_filename_component(_brimsel_mc_name ${BRIMSEL_MESSAGES_OBJECT} NAME)
    string(APPEND BRIMSEL_PC_LIBS " \${libdir}/${_brimsel_mc_name}")
  endif()
  string(APPEND BRIMSEL_PC_LIBS " -pthread ${BRIMSEL_PC_SYSTEM_LIBS}")
  set(BRIMSEL_PC_LIBS_PRIVATE "")
endif()
foreach(form usr relocatable)
  if(form STREQUAL "usr")
    set(BRIMSEL_PC_PREFIX "/usr")
  else()
    set(BRIMSEL_PC_PREFIX "\${pcfiledir}/${BRIMSEL_PC_TO_PREFIX}")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/brimsel.pc.in
    ${PROJECT_BINARY_DIR}/pkgconfig/${form}/${BRIMSEL_PC_NAME}.pc.in @ONLY)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/pkgconfig/${form}/${BRIMSEL_PC_NAME}.pc
    INPUT ${PROJECT_BINARY_DIR}/pkgconfig/${form}/${BRIMSEL_PC_NAME}.pc.in)
endforeach()
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
    set(_brimsel_pc_form usr)
  else()
    set(_brimsel_pc_form relocatable)
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE
       FILES \"${PROJECT_BINARY_DIR}/pkgconfig/\${_brimsel_pc_form}/${BRIMSEL_PC_NAME}.pc\")
" COMPONENT Development)

# The licence: in the Debian packages it is the copyright file (below);
# elsewhere it lies beside the documentation, and at the top of the zip.
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT Runtime)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/brimsel COMPONENT Documentation)
endif()

if(WIN32 AND MINGW AND BRIMSEL_SHARED)
  # The DLL needs the compiler's runtime DLLs (libstdc++ needs winpthread);
  # the zip carries them next to brimsel.dll so that it works on its own.
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "The compiler's runtime ${dll} was not found")
    endif()
    get_filename_component(path "${path}" REALPATH)
    # Debian's copies carry their debugging sections (libstdc++ is 23 MB).
    set(copy ${PROJECT_BINARY_DIR}/runtime/${dll})
    if(NOT EXISTS "${copy}" OR "${path}" IS_NEWER_THAN "${copy}")
      file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/runtime)
      execute_process(COMMAND ${CMAKE_STRIP} --strip-debug -o ${copy} ${path}
        RESULT_VARIABLE strip_result)
      if(NOT strip_result EQUAL 0)
        message(FATAL_ERROR "Stripping ${path} failed")
      endif()
    endif()
    install(FILES "${copy}" DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  endforeach()
elseif(UNIX AND NOT APPLE AND BRIMSEL_IS_TOP_LEVEL)
  # Debian wants a copyright file (which holds the licence) and a compressed
  # changelog in each package's documentation folder.
  set(BRIMSEL_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
  execute_process(COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog
    OUTPUT_FILE ${BRIMSEL_CHANGELOG_GZ} RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip of packaging/changelog failed")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
  foreach(pair "Runtime;libbrimsel${PROJECT_VERSION_MAJOR}" "Development;libbrimsel-dev")
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${BRIMSEL_CHANGELOG_GZ}
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    RENAME libbrimsel${PROJECT_VERSION_MAJOR} COMPONENT Runtime)
endif()
