# Release build for Linux: clang against the Debian 11 folder that scripts/linux-sysroot.sh
# unpacks (glibc 2.31, its C++ runtime and libraries), so that the programs run on any
# x86_64 Linux with glibc 2.31 or later (DFM_STATIC_LIBS links the rest in).
#
# DFM_SYSROOT names the folder; without it the script is run (once: it keeps the folder in
# its cache, $DFM_DEPS_CACHE or ~/.cache/dfmod-deps).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET x86_64-linux-gnu)

if(NOT DFM_SYSROOT AND DEFINED ENV{DFM_SYSROOT})
  set(DFM_SYSROOT "$ENV{DFM_SYSROOT}")
endif()
if(NOT DFM_SYSROOT)
  get_filename_component(_dfm_source "${CMAKE_CURRENT_LIST_DIR}" DIRECTORY)
  execute_process(COMMAND bash "${_dfm_source}/scripts/linux-sysroot.sh"
                  OUTPUT_VARIABLE DFM_SYSROOT OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE ".*\n" "" DFM_SYSROOT "${DFM_SYSROOT}")
endif()
set(DFM_SYSROOT "${DFM_SYSROOT}" CACHE PATH "The folder the release programs are built against")
# try_compile projects read this file again: they get the folder instead of running the script.
set(ENV{DFM_SYSROOT} "${DFM_SYSROOT}")

set(CMAKE_SYSROOT "${DFM_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the folder's libraries, never the build machine's.
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${DFM_SYSROOT}")
set(ENV{PKG_CONFIG_LIBDIR}
    "${DFM_SYSROOT}/usr/lib/x86_64-linux-gnu/pkgconfig:${DFM_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
