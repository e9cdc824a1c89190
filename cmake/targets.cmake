# The targets, one row each: the name; the GNU triplet; the processor, as
# uname -m says it there; the Debian architecture ("-" for none); "rpm" where
# an .rpm is made, for the processor; other facts as FIELD=VALUE (a list
# comma-joined); and after "|", what the target is. The rest is derived below.
#   - No .rpm for 32-bit ARM and x86: Fedora left them, and no other RPM
#     distribution's build services are asked for them.
#   - Debian 12 has no riscv64 port, so its .deb is cross-built in a Debian
#     13 chroot, against that release's libraries.
set(NAME_DIALOGUE_TARGETS
    "linux-amd64   x86_64-linux-gnu      x86_64   amd64   rpm | Linux on x86-64, static, cross-built"
    "linux-arm64   aarch64-linux-gnu     aarch64  arm64   rpm | Linux on 64-bit ARM, static, cross-built"
    "linux-armel   arm-linux-gnueabi     armv5tel armel       | Linux on 32-bit ARM, soft float, static, cross-built"
    "linux-armhf   arm-linux-gnueabihf   armv7l   armhf       | Linux on 32-bit ARM, hard float, static, cross-built"
    "linux-i386    i686-linux-gnu        i686     i386        | Linux on 32-bit x86, static, cross-built"
    "linux-ppc64el powerpc64le-linux-gnu ppc64le  ppc64el rpm | Linux on 64-bit POWER, little-endian, static, cross-built"
    "linux-riscv64 riscv64-linux-gnu     riscv64  riscv64 rpm deb_suite=trixie | Linux on 64-bit RISC-V, static, cross-built"
    "linux-s390x   s390x-linux-gnu       s390x    s390x   rpm | Linux on IBM Z, static, cross-built"
    "windows       x86_64-w64-mingw32    x86_64   -       system=Windows emulator=wine emulator_packages=wine,wine64 compiler_package=g++-mingw-w64-x86-64 | Windows on x86-64, with MinGW-w64 and Wine"
)
# The facts every target has, in the order cmake -P prints them.
set(NAME_DIALOGUE_FACTS name system triplet processor cpu deb_arch deb_suite rpm_arch compiler_package
    emulator_packages emulator description)

# name_dialogue_target(NAME): sets NAME_DIALOGUE_<FACT> for each fact of the
# target NAME, in the caller's scope.
function(name_dialogue_target name)
    set(row "")
    foreach(candidate IN LISTS NAME_DIALOGUE_TARGETS)
        if(candidate MATCHES "^${name} ")
            set(row "${candidate}")
        endif()
    endforeach()
    if(NOT row)
        message(FATAL_ERROR "No target ${name} in cmake/targets.cmake")
    endif()
    string(REGEX MATCH "^([^|]*)\\| (.*)$" _ "${row}")
    set(description "${CMAKE_MATCH_2}")
    separate_arguments(words UNIX_COMMAND "${CMAKE_MATCH_1}")
    list(POP_FRONT words name triplet processor deb_arch)
    if(deb_arch STREQUAL "-")
        set(deb_arch "")
    endif()
    # Linux by default: Debian's cross compiler, named after the triplet;
    # the archive names the processor, or for ARM the Debian architecture;
    # qemu-user runs the programs where this machine's processor is another.
    set(system Linux)
    set(cpu "${processor}")
    if(processor MATCHES "^arm")
        set(cpu "${deb_arch}")
    endif()
    set(deb_suite "")
    set(rpm_arch "")
    string(REPLACE "_" "-" compiler_package "g++-${triplet}")
    string(REGEX REPLACE "^arm.*" "arm" qemu "${processor}")
    string(REPLACE "i686" "i386" qemu "qemu-${qemu}-static")
    set(emulator_packages qemu-user-static)
    set(emulator "")
    cmake_host_system_information(RESULT host QUERY OS_PLATFORM)
    if(NOT host STREQUAL processor)
        # A dynamically linked program takes its loader and its libraries
        # both from the cross toolchain's C library: the loader would
        # otherwise find the libraries of another version that multiarch
        # installs in /lib.
        set(emulator ${qemu} -L /usr/${triplet} -E LD_LIBRARY_PATH=/usr/${triplet}/lib)
    endif()
    foreach(word IN LISTS words)
        if(word STREQUAL rpm)
            set(rpm_arch "${processor}")
        elseif(word MATCHES "^([a-z_]+)=(.*)$")
            list(FIND NAME_DIALOGUE_FACTS "${CMAKE_MATCH_1}" known)
            if(known EQUAL -1)
                message(FATAL_ERROR "cmake/targets.cmake: ${name}: no fact ${CMAKE_MATCH_1}")
            endif()
            set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
        else()
            message(FATAL_ERROR "cmake/targets.cmake: ${name}: what is ${word}?")
        endif()
    endforeach()
    foreach(fact IN LISTS NAME_DIALOGUE_FACTS)
        string(TOUPPER "${fact}" variable)
        set(NAME_DIALOGUE_${variable} "${${fact}}" PARENT_SCOPE)
    endforeach()
endfunction()

# As a script, prints every target's facts for the scripts, a line each, as
# space-separated FIELD=VALUE words: a value holds no blank, a list's items
# are joined with commas, and the description is left out. An empty
# deb_suite means this machine's; an empty deb_arch or rpm_arch, no such
# package; an empty emulator, that this machine runs the programs itself.
# packaging/targets.sh reads a field by its name.
# Usage: cmake -P cmake/targets.cmake
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    foreach(row IN LISTS NAME_DIALOGUE_TARGETS)
        string(REGEX MATCH "^[^ ]+" name "${row}")
        name_dialogue_target(${name})
        set(line "")
        foreach(fact IN LISTS NAME_DIALOGUE_FACTS)
            if(NOT fact STREQUAL description)
                string(TOUPPER "${fact}" variable)
                string(REPLACE ";" "," value "${NAME_DIALOGUE_${variable}}")
                list(APPEND line "${fact}=${value}")
            endif()
        endforeach()
        list(JOIN line " " line)
        execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
    endforeach()
endif()
