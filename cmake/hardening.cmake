include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

# Adds each flag that the compiler (KIND COMPILE) or the linker (KIND LINK)
# accepts; a toolchain that lacks one still builds, only less hardened.
function(_name_dialogue_add_supported target kind)
    foreach(flag IN LISTS ARGN)
        string(MAKE_C_IDENTIFIER "name_dialogue_has${flag}" var)
        if(kind STREQUAL "COMPILE")
            check_cxx_compiler_flag("${flag}" ${var})
            if(${var})
                target_compile_options(${target} PRIVATE "${flag}")
            endif()
        else()
            check_linker_flag(CXX "${flag}" ${var})
            if(${var})
                target_link_options(${target} PRIVATE "${flag}")
            endif()
        endif()
    endforeach()
endfunction()

# Hardens TARGET as far as the toolchain allows. With STATIC true it is linked
# as a static PIE: no dynamic loader has to bind the C++ runtime at start-up.
function(name_dialogue_harden target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "STATIC" "")
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)

    set(compile_flags -fstack-protector-strong -fstack-clash-protection)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
        list(APPEND compile_flags -fcf-protection)
    endif()
    _name_dialogue_add_supported(${target} COMPILE ${compile_flags})

    # Fortification needs the optimizer; a packager's own level wins.
    if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
        target_compile_options(${target} PRIVATE
            "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    endif()

    # Compact relative relocations and dropping unused sections both shorten
    # the start-up relocation pass.
    _name_dialogue_add_supported(${target} LINK
        -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack -Wl,-z,pack-relative-relocs -Wl,--gc-sections)

    set(static_pie FALSE)
    if(arg_STATIC)
        set(CMAKE_REQUIRED_FLAGS -fPIE)
        check_linker_flag(CXX -static-pie name_dialogue_has_static_pie)
        unset(CMAKE_REQUIRED_FLAGS)
        if(name_dialogue_has_static_pie)
            set(static_pie TRUE)
        else()
            message(WARNING "The toolchain cannot link a static PIE; linking name-dialogue dynamically.")
        endif()
    endif()
    if(static_pie)
        target_link_options(${target} PRIVATE -static-pie)
    else()
        check_pie_supported(LANGUAGES CXX)
    endif()
endfunction()
