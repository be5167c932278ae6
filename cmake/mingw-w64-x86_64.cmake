# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain (package
# g++-mingw-w64-x86-64-posix). The posix thread-model compilers are named explicitly so that the
# alternatives setting of the machine does not decide which runtime gets linked in.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTA_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot only; programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
