# Writes the notices that must travel with a binary into which the C and C++
# runtimes are linked: what each runtime is and its version, its licence,
# where it came from, which source package holds its corresponding source,
# and the licence texts. All of it is read off the Debian packages that hold
# the libraries the compiler links; elsewhere the notices say so.

find_program(NAME_DIALOGUE_DPKG_QUERY dpkg-query)
mark_as_advanced(NAME_DIALOGUE_DPKG_QUERY)

# Appends to the variable text the entry of the runtime NAME that the
# compiler links as LIBRARY. Its code is that of the Debian source package
# whose name matches SOURCE: the package's own source, or for a cross
# toolchain's rebuild the one it names in Built-Using.
function(_name_dialogue_runtime name library source licence)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${path}" path)
    set(package "")
    if(NAME_DIALOGUE_DPKG_QUERY)
        execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -S "${path}"
            OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND owner MATCHES "^([^:,]+)")
            set(package "${CMAKE_MATCH_1}")
        endif()
    endif()
    if(NOT package)
        string(APPEND text "\n${name}\n  Licence: ${licence}\n"
            "  From: ${library} of the compiler, not from a Debian package; its source is\n"
            "  that of the toolchain it came with.\n")
        set(text "${text}" PARENT_SCOPE)
        return()
    endif()

    execute_process(
        COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -W
            "-f=\${Version}\t\${source:Package}\t\${source:Version}\t\${Built-Using}" "${package}"
        OUTPUT_VARIABLE fields)
    string(REPLACE "\t" ";" fields "${fields}")
    list(GET fields 0 version)
    list(GET fields 1 built_from)
    list(GET fields 2 built_from_version)
    list(GET fields 3 built_using)
    set(code "${built_from}")
    set(code_version "${built_from_version}")
    set(fetch "${code}=${code_version}")
    set(recipe ":")
    if(NOT built_from MATCHES "^(${source})$" AND built_using MATCHES "(^|, )(${source}) \\(= ([^)]+)\\)")
        set(code "${CMAKE_MATCH_2}")
        set(code_version "${CMAKE_MATCH_3}")
        set(fetch "${code}=${code_version} ${built_from}=${built_from_version}")
        set(recipe ", as built by\n  ${built_from} ${built_from_version}:")
    endif()
    # Upstream's version: no epoch, no Debian revision.
    string(REGEX REPLACE "^[0-9]+:" "" upstream "${code_version}")
    string(REGEX REPLACE "-[^-]*$" "" upstream "${upstream}")
    string(APPEND text "\n${name}, version ${upstream}\n  Licence: ${licence}\n"
        "  From: Debian package ${package} ${version}\n"
        "  Corresponding source: Debian's source package ${code} ${code_version}${recipe}\n"
        "  apt-get source ${fetch}\n  (snapshot.debian.org keeps every version).\n")
    set(text "${text}" PARENT_SCOPE)
endfunction()

function(name_dialogue_notices output)
    set(licences GPL-3.0 GCC-exception-3.1)
    set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1 (texts below)")
    set(gcc_source "gcc-[0-9.]+")
    string(CONCAT text
        "name-dialogue ${PROJECT_VERSION} for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} is under the MIT\n"
        "License (LICENSE). The runtime libraries below are linked into the\n"
        "program. Each stays under its own licence.\n")
    if(WIN32)
        _name_dialogue_runtime("MinGW-w64 runtime" libmingwex.a mingw-w64
            "ZPL-2.1, with parts under other permissive licences and in the public domain (statement below)")
        _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc, libssp" libstdc++.a
            "${gcc_source}" "${gcc_licence}")
        list(PREPEND licences mingw-w64)
    else()
        _name_dialogue_runtime("GNU C Library" libc.a glibc "LGPL-2.1-or-later (text below)")
        string(APPEND text "  The complete source of name-dialogue is name-dialogue-${PROJECT_VERSION}.tar.gz, released\n"
            "  beside this build: with it the program can be relinked with a changed C library.\n")
        list(PREPEND licences LGPL-2.1)
        if(CMAKE_CXX_FLAGS MATCHES "-stdlib=libc\\+\\+")
            _name_dialogue_runtime("LLVM libc++ and libc++abi" libc++.a "llvm-toolchain-[0-9]+"
                "Apache-2.0 WITH LLVM-exception")
            _name_dialogue_runtime("GCC runtime library: libgcc" libgcc.a "${gcc_source}" "${gcc_licence}")
        else()
            _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc" libstdc++.a
                "${gcc_source}" "${gcc_licence}")
        endif()
    endif()
    foreach(licence IN LISTS licences)
        file(READ "${PROJECT_SOURCE_DIR}/packaging/licenses/${licence}" licence_text)
        string(APPEND text "\n\n==== ${licence} ====\n\n${licence_text}")
    endforeach()
    # Rewritten only when it changes, so that a reconfigure rebuilds nothing.
    file(WRITE "${output}.new" "${text}")
    configure_file("${output}.new" "${output}" COPYONLY)
    file(REMOVE "${output}.new")
endfunction()
