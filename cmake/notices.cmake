# Writes the notices that must travel with a binary into which the C and C++
# runtimes are linked: what each runtime is and its version, its licence,
# where it came from, which source package holds its corresponding source,
# and the licence texts. All of it is read off the Debian packages that hold
# the libraries the compiler links; elsewhere the notices say so. The same
# facts go into runtimes.facts beside NOTICES, and the tools that built the
# program into toolchain.facts, for every build: a line each of
# tab-separated FIELD=VALUE words, from which the release's SBOMs are built.

find_program(NAME_DIALOGUE_DPKG_QUERY dpkg-query)
mark_as_advanced(NAME_DIALOGUE_DPKG_QUERY)

# Sets owner_<FIELD> in the caller's scope for the Debian package that holds
# FILE: package, version, source, source_version, built_using and arch; all
# empty where no package does.
function(_name_dialogue_owner file)
    set(fields package version source source_version built_using arch)
    foreach(field IN LISTS fields)
        set(owner_${field} "" PARENT_SCOPE)
    endforeach()
    if(NOT NAME_DIALOGUE_DPKG_QUERY OR NOT EXISTS "${file}")
        return()
    endif()
    file(REAL_PATH "${file}" path)
    execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -S "${path}"
        OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR NOT owner MATCHES "^([^:,]+(:[a-z0-9]+)?):")
        return()
    endif()
    execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -W
        "-f=\${Package}\t\${Version}\t\${source:Package}\t\${source:Version}\t\${Built-Using}\t\${Architecture}"
        "${CMAKE_MATCH_1}" OUTPUT_VARIABLE values)
    string(REPLACE "\t" ";" values "${values}")
    foreach(field IN LISTS fields)
        list(POP_FRONT values value)
        set(owner_${field} "${value}" PARENT_SCOPE)
    endforeach()
endfunction()

# Sets VAR to the path of what the compiler links or runs as NAME, asked
# with OPTION (-print-file-name or -print-prog-name).
function(_name_dialogue_compiler_file var option name)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${option}=${name}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
        find_program(found NAMES "${path}" NO_CACHE)
        set(path "${found}")
    endif()
    set(${var} "${path}" PARENT_SCOPE)
endfunction()

# Appends to the variables text and facts the entry of the runtime NAME that
# the compiler links as LIBRARY, whose SBOM components are named COMPONENTS
# (a list). Its code is that of the Debian source package whose name matches
# SOURCE: the package's own source, or for a cross toolchain's rebuild the
# one it names in Built-Using. LICENCE is an SPDX expression; NOTE says where
# the text is.
function(_name_dialogue_runtime name components library source licence note)
    _name_dialogue_compiler_file(path -print-file-name "${library}")
    _name_dialogue_owner("${path}")
    string(STRIP "${licence} ${note}" shown)
    set(fact "licence=${licence}")
    if(NOT owner_package)
        string(APPEND text "\n${name}\n  Licence: ${shown}\n"
            "  From: ${library} of the compiler, not from a Debian package; its source is\n"
            "  that of the toolchain it came with.\n")
    else()
        set(code "${owner_source}")
        set(code_version "${owner_source_version}")
        set(fetch "${code}=${code_version}")
        set(recipe ":")
        if(NOT code MATCHES "^(${source})$" AND owner_built_using MATCHES "(^|, )(${source}) \\(= ([^)]+)\\)")
            # The cross toolchain's package is where the code came from; the
            # code itself is that of the source package it names.
            set(code "${CMAKE_MATCH_2}")
            set(code_version "${CMAKE_MATCH_3}")
            set(fetch "${code}=${code_version} ${owner_source}=${owner_source_version}")
            set(recipe ", as built by\n  ${owner_source} ${owner_source_version}:")
            string(APPEND fact "\tcode=${code}\tcode_version=${code_version}")
        endif()
        # Upstream's version: no epoch, no Debian revision.
        string(REGEX REPLACE "^[0-9]+:|-[^-]*$" "" upstream "${code_version}")
        string(APPEND text "\n${name}, version ${upstream}\n  Licence: ${shown}\n"
            "  From: Debian package ${owner_package} ${owner_version}\n"
            "  Corresponding source: Debian's source package ${code} ${code_version}${recipe}\n"
            "  apt-get source ${fetch}\n  (snapshot.debian.org keeps every version).\n")
        string(APPEND fact "\tversion=${upstream}\tsource=${owner_source}\tsource_version=${owner_source_version}"
            "\tpackage=${owner_package}\tpackage_version=${owner_version}")
    endif()
    foreach(component IN LISTS components)
        string(APPEND facts "name=${component}\t${fact}\n")
    endforeach()
    set(text "${text}" PARENT_SCOPE)
    set(facts "${facts}" PARENT_SCOPE)
endfunction()

# Writes CONTENT to FILE only where it changes, so that a reconfigure
# rebuilds nothing.
function(_name_dialogue_write file content)
    file(WRITE "${file}.new" "${content}")
    configure_file("${file}.new" "${file}" COPYONLY)
    file(REMOVE "${file}.new")
endfunction()

# Writes FILE, the facts of the tools that build the program here: the
# compiler, the linker's binutils and the C library it links against, each
# with the Debian package and version it came from.
function(name_dialogue_toolchain file)
    _name_dialogue_compiler_file(compiler -print-prog-name cc1plus)
    _name_dialogue_compiler_file(linker -print-prog-name ld)
    if(WIN32)
        _name_dialogue_compiler_file(c-library -print-file-name libmsvcrt.a)
    else()
        _name_dialogue_compiler_file(c-library -print-file-name libc.a)
    endif()
    set(facts "")
    foreach(role compiler linker c-library)
        _name_dialogue_owner("${${role}}")
        if(owner_package)
            string(APPEND facts "role=${role}\tpackage=${owner_package}\tversion=${owner_version}"
                "\tarch=${owner_arch}\n")
        endif()
    endforeach()
    _name_dialogue_write("${file}" "${facts}")
endfunction()

# Writes NOTICES, and runtimes.facts beside it.
function(name_dialogue_notices output)
    set(licences GPL-3.0 GCC-exception-3.1)
    set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1")
    set(gcc_source "gcc-[0-9.]+")
    set(facts "")
    string(CONCAT text
        "name-dialogue ${PROJECT_VERSION} for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} is under the MIT\n"
        "License (LICENSE). The runtime libraries below are linked into the\n"
        "program. Each stays under its own licence.\n")
    if(WIN32)
        # Debian's default MinGW-w64 compiler uses the win32 thread model,
        # which links no winpthreads.
        _name_dialogue_runtime("MinGW-w64 runtime" mingw-w64-crt libmingwex.a mingw-w64 "ZPL-2.1"
            "(statement below; parts of it are under other permissive licences or in the public domain)")
        _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc, libssp" "libstdc++;libgcc;libssp"
            libstdc++.a "${gcc_source}" "${gcc_licence}" "(texts below)")
        list(PREPEND licences mingw-w64)
    else()
        _name_dialogue_runtime("GNU C Library" glibc libc.a glibc "LGPL-2.1-or-later" "(text below)")
        string(APPEND text "  The complete source of name-dialogue is name-dialogue-${PROJECT_VERSION}.tar.gz, released\n"
            "  beside this build: with it the program can be relinked with a changed C library.\n")
        list(PREPEND licences LGPL-2.1)
        # Which C++ library the program gets, as its headers say.
        include(CheckCXXSymbolExists)
        check_cxx_symbol_exists(_LIBCPP_VERSION version NAME_DIALOGUE_LIBCXX)
        if(NAME_DIALOGUE_LIBCXX)
            _name_dialogue_runtime("LLVM libc++ and libc++abi" "libc++;libc++abi" libc++.a "llvm-toolchain-[0-9]+"
                "Apache-2.0 WITH LLVM-exception" "")
            _name_dialogue_runtime("GCC runtime library: libgcc" libgcc libgcc.a "${gcc_source}" "${gcc_licence}"
                "(texts below)")
        else()
            _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc" "libstdc++;libgcc" libstdc++.a
                "${gcc_source}" "${gcc_licence}" "(texts below)")
        endif()
    endif()
    foreach(licence IN LISTS licences)
        file(READ "${PROJECT_SOURCE_DIR}/packaging/licenses/${licence}" licence_text)
        string(APPEND text "\n\n==== ${licence} ====\n\n${licence_text}")
    endforeach()
    get_filename_component(dir "${output}" DIRECTORY)
    _name_dialogue_write("${output}" "${text}")
    _name_dialogue_write("${dir}/runtimes.facts" "${facts}")
endfunction()
