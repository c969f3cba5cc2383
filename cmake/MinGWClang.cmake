# Cross toolchain for the Windows executable: clang 14 aimed at x86_64-w64-mingw32, with the
# MinGW-w64 sysroot that tools/build_windows.sh prepares (MinGW-w64 12 headers, the CRT and
# GCC's libstdc++ from Debian, and the image libraries cross-built from Debian's sources).
# Everything is linked statically, so the executable needs only Windows' own DLLs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OV_MINGW_TRIPLE x86_64-w64-mingw32)
set(OV_MINGW_SYSROOT "" CACHE PATH "Sysroot prepared by tools/build_windows.sh")

# try_compile projects read this file again and need the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OV_MINGW_SYSROOT)

if(NOT OV_MINGW_SYSROOT)
    message(FATAL_ERROR "Set OV_MINGW_SYSROOT, or build with: bash tools/build_windows.sh")
endif()

find_program(OV_CLANG NAMES clang-14 clang REQUIRED)
find_program(OV_CLANGXX NAMES clang++-14 clang++ REQUIRED)
find_program(OV_WINDRES NAMES ${OV_MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_C_COMPILER "${OV_CLANG}")
set(CMAKE_CXX_COMPILER "${OV_CLANGXX}")
set(CMAKE_C_COMPILER_TARGET ${OV_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${OV_MINGW_TRIPLE})
set(CMAKE_RC_COMPILER "${OV_WINDRES}")

set(CMAKE_SYSROOT "${OV_MINGW_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH "${OV_MINGW_SYSROOT}/${OV_MINGW_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# lld links PE images; -static takes libstdc++, libgcc and winpthread into the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -static")

# The Windows SDK's headers declare everything up to their own release; MinGW-w64's derive the
# level from _WIN32_WINNT, which the framework sets to plain Windows 10, and would hide the
# Direct2D 1.3 interfaces. The framework checks at run time what the system has.
#
# GCC's libstdc++ for MinGW-w64 keeps its thread-local variables (std::call_once's) in emulated
# TLS; clang must use the same scheme to link against it.
set(CMAKE_C_FLAGS_INIT "-DNTDDI_VERSION=0x0A00000C -femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-DNTDDI_VERSION=0x0A00000C -femulated-tls")

# zlib for MinGW comes as both a DLL import library and a static one; the static one is wanted.
set(ZLIB_USE_STATIC_LIBS ON)
