# Makes a target's declared facts a toolchain: Debian's cross compiler for
# its GNU triplet, and the emulator that runs its programs here, if found.
# With NAME_DIALOGUE_FACTS_ONLY set it does nothing, so that scripts and the
# test suite can read a declaration without taking it as their toolchain.
if(NAME_DIALOGUE_FACTS_ONLY)
    return()
endif()
set(CMAKE_SYSTEM_NAME ${NAME_DIALOGUE_SYSTEM})
set(CMAKE_SYSTEM_PROCESSOR ${NAME_DIALOGUE_PROCESSOR})
set(CMAKE_CXX_COMPILER ${NAME_DIALOGUE_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${NAME_DIALOGUE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(NAME_DIALOGUE_EMULATOR)
    set(_name_dialogue_emulator ${NAME_DIALOGUE_EMULATOR})
    list(POP_FRONT _name_dialogue_emulator _name_dialogue_program)
    find_program(NAME_DIALOGUE_EMULATOR_PROGRAM NAMES ${_name_dialogue_program})
    if(NAME_DIALOGUE_EMULATOR_PROGRAM)
        set(CMAKE_CROSSCOMPILING_EMULATOR "${NAME_DIALOGUE_EMULATOR_PROGRAM}" ${_name_dialogue_emulator})
    endif()
endif()
