include(CheckCXXSourceCompiles)
include(CheckCXXSymbolExists)
include(CheckPIESupported)

# A probe with a local array and a string call, so that a stack protector or
# fortification has something to guard and its runtime must be found at link
# time; a bare main() would let a flag pass that cannot link.
set(_name_dialogue_probe [[
#include <cstring>
int main(int argc, char** argv)
{
    char buffer[64];
    std::strcpy(buffer, argv[argc - 1]);
    return static_cast<int>(std::strlen(buffer));
}
]])

# Sets VAR to whether the probe compiles and links with CMAKE_REQUIRED_FLAGS
# and CMAKE_REQUIRED_LINK_OPTIONS. A flag that the compiler or the linker
# says it ignores or does not know counts as not taken: binutils, for one,
# only warns about a -z option it cannot honour on the target.
function(_name_dialogue_probe var)
    check_cxx_source_compiles("${_name_dialogue_probe}" ${var}
        FAIL_REGEX "[Ii]gnored|[Uu]nrecogni[sz]ed|[Uu]nknown|not supported|unsupported")
endfunction()

# Applies each flag of ARGN that compiles and links the probe for the target,
# together with the flags accepted before it, to TARGET's compile and link
# steps (SCOPE COMPILE) or its link step alone (SCOPE LINK). A toolchain that
# lacks a flag still builds, only less hardened.
function(_name_dialogue_add_supported target scope)
    foreach(flag IN LISTS ARGN)
        string(MAKE_C_IDENTIFIER "name_dialogue_takes${flag}" var)
        set(compile ${_name_dialogue_compile})
        if(scope STREQUAL "COMPILE")
            list(APPEND compile ${flag})
        endif()
        string(JOIN " " CMAKE_REQUIRED_FLAGS ${compile})
        set(CMAKE_REQUIRED_LINK_OPTIONS ${_name_dialogue_link} ${flag})
        _name_dialogue_probe(${var})
        if(${var})
            if(scope STREQUAL "COMPILE")
                target_compile_options(${target} PRIVATE ${flag})
                set(_name_dialogue_compile ${compile})
            endif()
            target_link_options(${target} PRIVATE ${flag})
            list(APPEND _name_dialogue_link ${flag})
        endif()
    endforeach()
    set(_name_dialogue_compile ${_name_dialogue_compile} PARENT_SCOPE)
    set(_name_dialogue_link ${_name_dialogue_link} PARENT_SCOPE)
endfunction()

# Hardens TARGET as far as the toolchain allows. With STATIC true, the C and
# C++ runtimes are linked in: on ELF as a static PIE where the C library can
# start one, else as a static executable at a fixed address; on Windows so
# the program needs no DLL of the compiler's. A toolchain that can do neither
# stops the configuration rather than link dynamically unasked. Sets the
# variable named by RESULT to whether the runtimes are linked in.
function(name_dialogue_harden target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "STATIC;RESULT" "")
    set(_name_dialogue_compile "")
    set(_name_dialogue_link "")
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)

    # The stack protector's runtime comes with the static runtime on Windows,
    # so the link mode is settled first and every probe links that way.
    if(arg_STATIC AND WIN32)
        _name_dialogue_add_supported(${target} LINK -static)
        set(static ${name_dialogue_takes_static})
    elseif(arg_STATIC)
        _name_dialogue_add_supported(${target} COMPILE -fPIE)
        _name_dialogue_add_supported(${target} LINK -static-pie)
        set(static ${name_dialogue_takes_static_pie})
        if(NOT static)
            # A static PIE starts from the C library's rcrt1.o, which some of
            # its ports lack.
            _name_dialogue_add_supported(${target} LINK -static)
            set(static ${name_dialogue_takes_static})
            if(static)
                message(STATUS "The C library for this target cannot start a static PIE: "
                    "name-dialogue is linked static at a fixed address, so its own code "
                    "is not randomized.")
            endif()
        endif()
    endif()
    if(arg_STATIC AND NOT static)
        message(FATAL_ERROR "The toolchain cannot link the C and C++ runtimes into "
            "name-dialogue: their static libraries are missing (Debian: libc6-dev and "
            "libstdc++-dev; Fedora: glibc-static and libstdc++-static). Install them, or "
            "configure with -DNAME_DIALOGUE_STATIC=OFF to link them dynamically.")
    endif()
    set(${arg_RESULT} ${arg_STATIC} PARENT_SCOPE)
    if(NOT arg_STATIC OR WIN32)
        check_pie_supported(LANGUAGES CXX)
    endif()

    # Each is taken only where the target has it: control-flow protection on
    # x86, branch protection on 64-bit ARM.
    _name_dialogue_add_supported(${target} COMPILE
        -fstack-protector-strong -fstack-clash-protection -fcf-protection
        -mbranch-protection=standard)

    # Fortification needs the optimizer; a level that the packager's flags or
    # the compiler itself already set wins.
    check_cxx_symbol_exists(_FORTIFY_SOURCE cstddef name_dialogue_fortified)
    if(NOT name_dialogue_fortified)
        string(JOIN " " CMAKE_REQUIRED_FLAGS ${_name_dialogue_compile} -O2 -D_FORTIFY_SOURCE=2)
        set(CMAKE_REQUIRED_LINK_OPTIONS ${_name_dialogue_link})
        _name_dialogue_probe(name_dialogue_takes_fortify)
        if(name_dialogue_takes_fortify)
            target_compile_options(${target} PRIVATE "$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
        endif()
    endif()

    if(WIN32)
        # Address space layout randomization, also above 4 GiB, and DEP.
        _name_dialogue_add_supported(${target} LINK
            -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat -Wl,--gc-sections)
    else()
        # Compact relative relocations and dropping unused sections both
        # shorten the start-up relocation pass.
        _name_dialogue_add_supported(${target} LINK
            -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack -Wl,-z,pack-relative-relocs
            -Wl,--gc-sections)
    endif()
endfunction()
