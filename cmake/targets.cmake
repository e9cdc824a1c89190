# Prints the facts of every declared target for scripts, a line each, as
# space-separated FIELD=VALUE words, in no fixed order:
#   name system triplet processor cpu deb_arch deb_suite rpm_arch
#   compiler_package emulator_packages emulator
# A value holds no blank; a list's items are joined with commas. An empty
# deb_suite means this machine's; an empty deb_arch or rpm_arch, no such
# package; an empty emulator, that this machine runs the programs itself.
# packaging/targets.sh reads a field by its name.
# Usage: cmake -P cmake/targets.cmake
set(NAME_DIALOGUE_FACTS_ONLY ON)
file(GLOB declarations "${CMAKE_CURRENT_LIST_DIR}/targets/*.cmake")
list(SORT declarations)

function(_name_dialogue_facts declaration)
    include("${declaration}")
    get_filename_component(name "${declaration}" NAME_WE)
    set(NAME_DIALOGUE_NAME "${name}")
    set(NAME_DIALOGUE_EMULATOR_PACKAGES "${NAME_DIALOGUE_EMULATOR_PACKAGE}")
    set(line "")
    foreach(fact NAME SYSTEM TRIPLET PROCESSOR CPU DEB_ARCH DEB_SUITE RPM_ARCH COMPILER_PACKAGE
            EMULATOR_PACKAGES EMULATOR)
        string(REPLACE ";" "," value "${NAME_DIALOGUE_${fact}}")
        if(value MATCHES "[ \t]")
            message(FATAL_ERROR "${declaration}: ${fact} holds a blank: ${value}")
        endif()
        string(TOLOWER "${fact}" field)
        list(APPEND line "${field}=${value}")
    endforeach()
    list(JOIN line " " line)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
endfunction()

foreach(declaration IN LISTS declarations)
    _name_dialogue_facts("${declaration}")
endforeach()
