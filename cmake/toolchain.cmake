# The toolchain of the target NAME_DIALOGUE_TARGET, a row of
# cmake/targets.tsv: its cross compiler, found by its GNU triplet, and the
# emulator that runs its programs here, where this machine cannot.
# Usage: cmake --toolchain cmake/toolchain.cmake -DNAME_DIALOGUE_TARGET=NAME
include("${CMAKE_CURRENT_LIST_DIR}/targets.cmake")
name_dialogue_target("${NAME_DIALOGUE_TARGET}")
# The compiler checks build projects of their own, which need the target too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NAME_DIALOGUE_TARGET)
set(CMAKE_SYSTEM_NAME ${NAME_DIALOGUE_SYSTEM})
set(CMAKE_SYSTEM_PROCESSOR ${NAME_DIALOGUE_PROCESSOR})
set(CMAKE_CXX_COMPILER ${NAME_DIALOGUE_TRIPLET}-g++)
if(NAME_DIALOGUE_SYSTEM STREQUAL Windows)
    set(CMAKE_RC_COMPILER ${NAME_DIALOGUE_TRIPLET}-windres)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${NAME_DIALOGUE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${NAME_DIALOGUE_RUNNER})
