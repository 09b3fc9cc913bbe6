# Installs the library, its headers, the CMake package Brimsel (target
# Brimsel::brimsel) and brimsel.pc.
include(CMakePackageConfigHelpers)

install(TARGETS brimsel EXPORT BrimselTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/brimsel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development
  FILES_MATCHING PATTERN "*.h")

set(BRIMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brimsel)
install(EXPORT BrimselTargets NAMESPACE Brimsel:: DESTINATION ${BRIMSEL_CMAKE_DIR}
  COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/BrimselConfig.cmake.in
  ${PROJECT_BINARY_DIR}/BrimselConfig.cmake INSTALL_DESTINATION ${BRIMSEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/BrimselConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/BrimselConfig.cmake ${PROJECT_BINARY_DIR}/BrimselConfigVersion.cmake
  DESTINATION ${BRIMSEL_CMAKE_DIR} COMPONENT Development)

# pkg-config: the prefix is found from the .pc file's own place, so that an
# installed tree (or an unpacked archive) can be moved.
file(RELATIVE_PATH BRIMSEL_PC_TO_PREFIX
  "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
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
configure_file(${PROJECT_SOURCE_DIR}/cmake/brimsel.pc.in ${PROJECT_BINARY_DIR}/brimsel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/brimsel.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

if(WIN32 AND MINGW)
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
elseif(UNIX AND NOT APPLE)
  # Debian wants a copyright file and a compressed changelog in each
  # package's documentation folder.
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
