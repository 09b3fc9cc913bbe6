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
