# Cross build for 64-bit Windows with Debian's MinGW-w64 (the -posix compilers: C++ threads
# and <mutex> need them). Programs link statically, so they need no DLL beside Windows' own.
#
# The libraries (zlib, mbed TLS, libzip, libjpeg-turbo, xxHash's header) come from scripts/build-windows-deps.sh, which
# writes the list of their install folders to DFM_WINDOWS_DEPS_FILE; DFM_WINDOWS_DEPS (a
# CMake list of folders) overrides it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DFM_MINGW_TARGET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${DFM_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DFM_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${DFM_MINGW_TARGET}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

if(NOT DEFINED DFM_WINDOWS_DEPS)
  if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_dfm_cache "$ENV{XDG_CACHE_HOME}")
  else()
    set(_dfm_cache "$ENV{HOME}/.cache")
  endif()
  set(DFM_WINDOWS_DEPS_FILE "${_dfm_cache}/dfmod-deps/${DFM_MINGW_TARGET}/prefixes"
      CACHE FILEPATH "List of the Windows libraries' install folders, one a line")
  set(DFM_WINDOWS_DEPS "")
  if(EXISTS "${DFM_WINDOWS_DEPS_FILE}")
    file(STRINGS "${DFM_WINDOWS_DEPS_FILE}" DFM_WINDOWS_DEPS)
  endif()
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${DFM_MINGW_TARGET} ${DFM_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the Windows libraries, never the build machine's.
set(_dfm_pc "")
foreach(_dfm_prefix IN LISTS DFM_WINDOWS_DEPS)
  list(APPEND _dfm_pc "${_dfm_prefix}/lib/pkgconfig")
endforeach()
string(REPLACE ";" ":" _dfm_pc "${_dfm_pc}")
set(ENV{PKG_CONFIG_LIBDIR} "${_dfm_pc}")
set(ENV{PKG_CONFIG_PATH} "")

# Tests run the programs under Wine (scripts/wine-run.sh: a time limit and its own prefix).
get_filename_component(_dfm_source "${CMAKE_CURRENT_LIST_DIR}" DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR bash "${_dfm_source}/scripts/wine-run.sh")
