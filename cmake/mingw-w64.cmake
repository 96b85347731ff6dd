# Cross-build for Windows x86-64 with Debian's mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The dependency prefix comes from the cache or, inside try_compile, from the environment.
if(NOT TAV_DEPS_PREFIX AND DEFINED ENV{TAV_DEPS_PREFIX})
  set(TAV_DEPS_PREFIX "$ENV{TAV_DEPS_PREFIX}")
endif()
if(TAV_DEPS_PREFIX)
  set(ENV{TAV_DEPS_PREFIX} "${TAV_DEPS_PREFIX}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TAV_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/wine)
