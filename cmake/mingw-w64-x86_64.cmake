# Cross build for 64-bit Windows with Debian's MinGW-w64 toolchain (the posix thread
# model, so std::thread and std::mutex work). Libraries built for Windows live under
# LARKSPUR_WINDOWS_DEPS; nothing is taken from the build machine's own folders.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LARKSPUR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LARKSPUR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LARKSPUR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LARKSPUR_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${LARKSPUR_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${LARKSPUR_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${LARKSPUR_MINGW_TRIPLE})
if(DEFINED ENV{LARKSPUR_WINDOWS_DEPS})
    set(LARKSPUR_WINDOWS_DEPS $ENV{LARKSPUR_WINDOWS_DEPS} CACHE PATH "Prefix of the Windows libraries")
endif()
# try_compile reads this file again in the same process: give it the same prefix, or
# its pass would leave pkg-config pointed elsewhere.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LARKSPUR_WINDOWS_DEPS)
# pkg-config must find the Windows libraries' .pc files, never the build machine's.
if(LARKSPUR_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${LARKSPUR_WINDOWS_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR} ${LARKSPUR_WINDOWS_DEPS}/lib/pkgconfig)
elseif(NOT DEFINED ENV{PKG_CONFIG_LIBDIR})
    set(ENV{PKG_CONFIG_LIBDIR} /usr/${LARKSPUR_MINGW_TRIPLE}/lib/pkgconfig)
endif()
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
