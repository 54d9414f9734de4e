# 64-bit big-endian s390x: Debian's cross compiler; Debian's s390x packages
# of the C library (with its iconv modules), Expat, Lua 5.1 and GoogleTest
# unpacked into CROSS_SYSROOT by scripts/cross.sh; programs run under
# qemu-s390x with that root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE s390x-linux-gnu)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CROSS_SYSROOT)

set(CMAKE_FIND_ROOT_PATH ${CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# (Debian's luaconf.h includes a header of the multiarch folder.)
set(CMAKE_C_FLAGS_INIT "-isystem ${CROSS_SYSROOT}/usr/include/s390x-linux-gnu")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${CROSS_SYSROOT}/usr/include/s390x-linux-gnu")

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x -L ${CROSS_SYSROOT})
set(MIMALLOC OFF CACHE BOOL "")
