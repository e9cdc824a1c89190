# 64-bit Windows, cross-compiled with Debian's MinGW-w64 toolchain; its
# programs run under Wine.
set(NAME_DIALOGUE_DESCRIPTION "Windows on x86-64, with MinGW-w64 and Wine")
set(NAME_DIALOGUE_SYSTEM Windows)
set(NAME_DIALOGUE_TRIPLET x86_64-w64-mingw32)
set(NAME_DIALOGUE_PROCESSOR x86_64)
set(NAME_DIALOGUE_CPU x86_64)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-mingw-w64-x86-64)
set(NAME_DIALOGUE_EMULATOR wine)
set(NAME_DIALOGUE_EMULATOR_PACKAGE wine wine64)
set(CMAKE_RC_COMPILER ${NAME_DIALOGUE_TRIPLET}-windres)
include("${CMAKE_CURRENT_LIST_DIR}/../cross.cmake")
