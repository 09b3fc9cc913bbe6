# SPDX-License-Identifier: MIT
# Compiler settings shared by every target of the tree.

# brimsel_warnings(<target>): the warning level every target of ours builds at;
# BRIMSEL_WERROR makes the warnings errors (ON in the presets and in CI).
function(brimsel_warnings target)
  if(MSVC)
    # C4251/C4275: exported classes hold standard-library members and bases;
    # programs must use the same compiler and runtime as the DLL anyway.
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 /wd4251 /wd4275)
    if(BRIMSEL_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(BRIMSEL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

if(BRIMSEL_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "BRIMSEL_SANITIZE is for GCC and Clang builds")
  endif()
  add_compile_options(-fsanitize=${BRIMSEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${BRIMSEL_SANITIZE})
endif()

if(BRIMSEL_IS_TOP_LEVEL)
  # Every executable and DLL lands in one folder, so that Windows (and Wine)
  # find brimsel.dll next to the programs that load it. Inside another project
  # the project's own output folders apply.
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
  set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
endif()

find_package(Threads REQUIRED)
