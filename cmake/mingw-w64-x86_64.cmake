# Cross-builds Pellmar for 64-bit Windows with mingw-w64 (POSIX thread model, for std::thread),
# linked statically so the executables need no DLLs, and runs what it builds under Wine.
# Usage: cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELLMAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELLMAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLMAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLMAR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELLMAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(PELLMAR_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/bin NO_DEFAULT_PATH)
if(NOT PELLMAR_WINE64)
    find_program(PELLMAR_WINE64 NAMES wine64 wine)
endif()
if(PELLMAR_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PELLMAR_WINE64})
endif()
