set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything links statically: no libstdc++, libgcc or winpthread DLL beside
# the programs, under Wine or on a real Windows machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# CTest runs the programs under Wine. The wine64 loader itself, not the
# /usr/bin/wine wrapper, which warns about a missing wine32 on every start.
find_program(QUORVANTEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(QUORVANTEL_WINE NAMES wine64 wine)
if(QUORVANTEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORVANTEL_WINE}")
endif()
