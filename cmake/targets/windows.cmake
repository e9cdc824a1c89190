# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 toolchain
# (g++-mingw-w64-x86-64); the tests then run the .exe under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${triple}-g++)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(NAME_DIALOGUE_WINE NAMES wine)
if(NAME_DIALOGUE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${NAME_DIALOGUE_WINE}")
endif()
