# Writes the notices that must travel with a binary into which the C and C++
# runtimes are linked: what each runtime is, where it came from, its licence,
# and the licence texts. Versions are read off the Debian packages that hold
# the libraries the compiler links; elsewhere the notices say so.

function(_name_dialogue_origin var library)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${path}" path)
    set(origin "${library}, not from a Debian package")
    find_program(NAME_DIALOGUE_DPKG_QUERY dpkg-query)
    mark_as_advanced(NAME_DIALOGUE_DPKG_QUERY)
    if(NAME_DIALOGUE_DPKG_QUERY)
        execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -S "${path}"
            OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND owner MATCHES "^([^:,]+)")
            set(package "${CMAKE_MATCH_1}")
            execute_process(
                COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -W
                    "-f=\${Version}\t\${source:Package}\t\${source:Version}" "${package}"
                OUTPUT_VARIABLE fields)
            string(REPLACE "\t" ";" fields "${fields}")
            list(GET fields 0 version)
            list(GET fields 1 source)
            list(GET fields 2 source_version)
            set(origin "Debian package ${package} ${version}, built from source package ${source} ${source_version}")
            set(${var}_SOURCE "${source}" PARENT_SCOPE)
            set(${var}_SOURCE_VERSION "${source_version}" PARENT_SCOPE)
        endif()
    endif()
    set(${var} "${origin}" PARENT_SCOPE)
endfunction()

# Appends one runtime's entry to the variable text.
macro(_name_dialogue_runtime name library licence)
    _name_dialogue_origin(origin ${library})
    string(APPEND text "\n${name}\n  From: ${origin}\n  Licence: ${licence}\n")
endmacro()

function(name_dialogue_notices output)
    set(licences GPL-3.0 GCC-exception-3.1)
    set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1 (texts below)")
    string(CONCAT text
        "name-dialogue ${PROJECT_VERSION} for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} is under the MIT\n"
        "License (LICENSE). The runtime libraries below are linked into the\n"
        "program. Each stays under its own licence.\n")
    if(WIN32)
        _name_dialogue_runtime("MinGW-w64 runtime" libmingwex.a
            "ZPL-2.1, with parts under other permissive licences and in the public domain (statement below)")
        _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc, libssp" libstdc++.a "${gcc_licence}")
        list(PREPEND licences mingw-w64)
    else()
        _name_dialogue_runtime("GNU C Library" libc.a "LGPL-2.1-or-later (text below)")
        if(origin_SOURCE)
            string(APPEND text "  Corresponding source: Debian's source package ${origin_SOURCE}, version\n"
                "  ${origin_SOURCE_VERSION} (apt-get source ${origin_SOURCE}=${origin_SOURCE_VERSION}).\n")
        else()
            string(APPEND text "  Corresponding source: that of the C library of the build machine.\n")
        endif()
        string(APPEND text "  The complete source of name-dialogue is name-dialogue-${PROJECT_VERSION}.tar.gz, released\n"
            "  beside this build: with it the program can be relinked with a changed C library.\n")
        list(PREPEND licences LGPL-2.1)
        if(CMAKE_CXX_FLAGS MATCHES "-stdlib=libc\\+\\+")
            _name_dialogue_runtime("LLVM libc++ and libc++abi" libc++.a "Apache-2.0 WITH LLVM-exception")
            _name_dialogue_runtime("GCC runtime library: libgcc" libgcc.a "${gcc_licence}")
        else()
            _name_dialogue_runtime("GCC runtime libraries: libstdc++, libgcc" libstdc++.a "${gcc_licence}")
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
