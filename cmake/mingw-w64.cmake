# Cross-compiles the core, tavrik-batch.exe and their tests for 64-bit Windows with Debian's
# mingw-w64 (g++-mingw-w64-x86-64-posix: the threads of the C++ library need the POSIX model).
# Use with -DTAVRIK_GUI=OFF; tools/windows.sh configures, builds and runs the tests under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRIK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every double in SSE2 registers, never the x87 unit, whose 80-bit intermediates would change
# last bits; the build checks that the compiler agrees (cmake/CheckSse2Math.cmake).
set(CMAKE_CXX_FLAGS_INIT "-mfpmath=sse -msse2")
# One executable with no DLL beside it, so it runs on a bare Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through wine; gtest_discover_tests lists them the same way.
find_program(TAVRIK_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TAVRIK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRIK_WINE})
endif()
