# Prints the facts of every declared target, one line each, for scripts:
#   NAME SYSTEM TRIPLET PROCESSOR CPU DEB-ARCH DEB-SUITE RPM-ARCH
#   COMPILER-PACKAGE EMULATOR-PACKAGES EMULATOR...
# A fact a target lacks is "-": no DEB-SUITE means this machine's, no DEB-ARCH
# or RPM-ARCH no such package. Packages are joined with commas; the emulator,
# last, is empty where this machine runs the target's programs itself.
# Usage: cmake -P cmake/targets.cmake
set(NAME_DIALOGUE_FACTS_ONLY ON)
file(GLOB declarations "${CMAKE_CURRENT_LIST_DIR}/targets/*.cmake")
list(SORT declarations)

function(_name_dialogue_facts declaration)
    include("${declaration}")
    get_filename_component(name "${declaration}" NAME_WE)
    set(line "${name}")
    foreach(fact SYSTEM TRIPLET PROCESSOR CPU DEB_ARCH DEB_SUITE RPM_ARCH COMPILER_PACKAGE
            EMULATOR_PACKAGE)
        set(value "${NAME_DIALOGUE_${fact}}")
        if(value STREQUAL "")
            set(value -)
        endif()
        string(REPLACE ";" "," value "${value}")
        string(APPEND line " ${value}")
    endforeach()
    list(JOIN NAME_DIALOGUE_EMULATOR " " emulator)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line} ${emulator}")
endfunction()

foreach(declaration IN LISTS declarations)
    _name_dialogue_facts("${declaration}")
endforeach()
