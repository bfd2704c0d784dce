# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 GCC.
# Pass it as an absolute path: -DCMAKE_TOOLCHAIN_FILE=/path/to/cmake/mingw-w64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_qarn_triplet x86_64-w64-mingw32)
# The -posix variants: the -win32 thread model has no std::thread/std::mutex.
set(CMAKE_C_COMPILER ${_qarn_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_qarn_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_qarn_triplet}-windres)

# Find libraries and headers only in the MinGW sysroot, build tools only on
# the host.
# build/mingw-deps holds GMP and MPFR, built for Windows by scripts/mingw-deps.
set(CMAKE_FIND_ROOT_PATH /usr/${_qarn_triplet} ${CMAKE_CURRENT_LIST_DIR}/../build/mingw-deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the executables then import only system DLLs and run under
# Wine (or on Windows) without libstdc++/libgcc/winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and try_run start the .exe files through Wine. Source
# scripts/wine-env (and call qarn_wine_start) before ctest so that Wine uses
# the project's prefix under build/wine.
find_program(QARN_WINE NAMES wine64 wine)
if(QARN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QARN_WINE})
endif()
