# 32-bit big-endian PowerPC: Debian's cross compiler and C library
# (/usr/powerpc-linux-gnu), Expat, Lua 5.1 and GoogleTest built for the
# target into CROSS_PREFIX by scripts/cross.sh; programs run under qemu-ppc.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)
set(CMAKE_C_COMPILER powerpc-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CROSS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${CROSS_PREFIX} /usr/powerpc-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc -L /usr/powerpc-linux-gnu)
# Debian builds no iconv modules for this C library: only iconv's built-in
# converters are there.
set(ICONV_MODULES OFF CACHE BOOL "")
set(MIMALLOC OFF CACHE BOOL "")
