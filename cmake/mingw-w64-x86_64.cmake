# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX thread model).
# The programs are linked statically, so each .exe needs only the DLLs that
# come with Windows. Test programs run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_salvora_target x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_salvora_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_salvora_target}-g++-posix)
set(CMAKE_RC_COMPILER ${_salvora_target}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_salvora_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only a fully static link leaves no MinGW runtime DLL (libstdc++, libgcc,
# winpthread) to ship beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the Windows test programs through Wine.
find_program(WINE_EXECUTABLE NAMES wine wine64)
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()

# Shipped programs carry no symbol tables.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
