# The targets are the rows of targets.tsv beside this file, a column per
# fact, named in its first line; "-" is an empty fact. An empty deb_suite is
# this machine's Debian suite; an empty deb_arch or rpm_arch, no such package.
# channels are the ways the release brings the target's program to users,
# comma-separated: deb, rpm, archive (a static tarball, or Windows' zip) and
# msi, each a step of packaging/build.sh. repeat_timing is yes where the
# release's checks repeat the timing tests against the target's archive: one
# program under qemu and one under Wine stand for their kind.
#   - No .rpm for 32-bit ARM and x86: Fedora left them, and no other RPM
#     distribution's build services are asked for them.
#   - Debian 12 has no riscv64 port, so its .deb is cross-built in a Debian
#     13 chroot, against that release's libraries.
# name_dialogue_targets(VAR): sets VAR to the targets' names, in the
# table's order.
function(name_dialogue_targets var)
    file(STRINGS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.tsv" rows)
    list(POP_FRONT rows)
    list(TRANSFORM rows REPLACE "\t.*" "")
    set(${var} ${rows} PARENT_SCOPE)
endfunction()

# name_dialogue_target(NAME): sets NAME_DIALOGUE_<COLUMN> for each column of
# the target NAME's row, in the caller's scope, and NAME_DIALOGUE_RUNNER to
# the command that runs its programs here, empty where this machine runs
# them itself.
function(name_dialogue_target name)
    file(STRINGS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/targets.tsv" rows)
    list(POP_FRONT rows columns)
    string(REPLACE "\t" ";" columns "${columns}")
    foreach(row IN LISTS rows)
        string(REPLACE "\t" ";" values "${row}")
        list(GET values 0 first)
        if(first STREQUAL name)
            foreach(column IN LISTS columns)
                list(POP_FRONT values value)
                string(TOUPPER "${column}" variable)
                if(value STREQUAL "-")
                    set(value "")
                endif()
                set(NAME_DIALOGUE_${variable} "${value}" PARENT_SCOPE)
                set(NAME_DIALOGUE_${variable} "${value}")
            endforeach()
            name_dialogue_runner(${NAME_DIALOGUE_SYSTEM} ${NAME_DIALOGUE_PROCESSOR} ${NAME_DIALOGUE_TRIPLET}
                ${NAME_DIALOGUE_EMULATOR})
            set(NAME_DIALOGUE_RUNNER "${runner}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "No target ${name} in cmake/targets.tsv")
endfunction()

function(name_dialogue_runner system processor triplet emulator)
    cmake_host_system_information(RESULT host QUERY OS_PLATFORM)
    set(runner "")
    if(system STREQUAL Windows OR NOT host STREQUAL processor)
        find_program(NAME_DIALOGUE_EMULATOR_${emulator} ${emulator})
        if(NAME_DIALOGUE_EMULATOR_${emulator})
            set(runner "${NAME_DIALOGUE_EMULATOR_${emulator}}")
        endif()
        if(runner AND system STREQUAL Linux)
            # A dynamically linked program takes its loader and its libraries
            # both from the cross toolchain's C library: the loader would
            # otherwise find the libraries of another version that multiarch
            # installs in /lib.
            list(APPEND runner -L /usr/${triplet} -E LD_LIBRARY_PATH=/usr/${triplet}/lib)
        endif()
    endif()
    set(runner "${runner}" PARENT_SCOPE)
endfunction()
