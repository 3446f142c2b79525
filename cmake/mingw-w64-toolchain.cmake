# Cross-building for 64-bit Windows with Debian's mingw-w64 (POSIX threads).
# The dependencies built for Windows lie below TAKTARIUM_WINDOWS_PREFIX (and a
# Qt for mingw below TAKTARIUM_WINDOWS_QT, when given); headers, libraries and
# CMake packages are looked for there only, programs on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-gcc-ranlib-posix CACHE FILEPATH "")

# Try-compile runs do not see the cache; hand the two folders on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAKTARIUM_WINDOWS_PREFIX TAKTARIUM_WINDOWS_QT)
set(CMAKE_FIND_ROOT_PATH ${TAKTARIUM_WINDOWS_QT} ${TAKTARIUM_WINDOWS_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
