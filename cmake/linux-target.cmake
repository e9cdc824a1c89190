# What every Linux target shares. A file in targets/ declares one target's
# facts and includes this one: Debian's cross compiler builds for it, and
# qemu-user runs its programs where this machine's processor is another.
set(NAME_DIALOGUE_SYSTEM Linux)
set(NAME_DIALOGUE_EMULATOR_PACKAGE qemu-user-static)
cmake_host_system_information(RESULT _name_dialogue_host QUERY OS_PLATFORM)
set(NAME_DIALOGUE_EMULATOR "")
if(NOT _name_dialogue_host STREQUAL NAME_DIALOGUE_PROCESSOR)
    # A dynamically linked program takes its loader and its libraries both
    # from the cross toolchain's C library: the loader would otherwise find
    # the libraries of another version that multiarch installs in /lib.
    set(NAME_DIALOGUE_EMULATOR ${NAME_DIALOGUE_QEMU} -L /usr/${NAME_DIALOGUE_TRIPLET}
        -E LD_LIBRARY_PATH=/usr/${NAME_DIALOGUE_TRIPLET}/lib)
endif()
include("${CMAKE_CURRENT_LIST_DIR}/cross.cmake")
