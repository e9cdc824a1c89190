# Writes the notices that must travel with a binary into which the C and C++
# runtimes are linked: what each runtime is and its version, its licence,
# where it came from, which source package holds its corresponding source,
# and the licence texts. All of it is read off the Debian packages that hold
# the libraries the compiler links; elsewhere the notices say so. The same
# facts go, as CycloneDX components, into runtimes.cdx.json beside NOTICES,
# from which the release writes each artifact's SBOM; so do the tools that
# built the program, into toolchain.cdx.json, for every build.

find_program(NAME_DIALOGUE_DPKG_QUERY dpkg-query)
mark_as_advanced(NAME_DIALOGUE_DPKG_QUERY)

# A purl's version or qualifier, percent-encoded where Debian's versions
# need it.
function(_name_dialogue_purl_escape var value)
    string(REPLACE "%" "%25" value "${value}")
    string(REPLACE "+" "%2B" value "${value}")
    string(REPLACE ":" "%3A" value "${value}")
    string(REPLACE "~" "%7E" value "${value}")
    set(${var} "${value}" PARENT_SCOPE)
endfunction()

# Sets PACKAGE_VAR, VERSION_VAR, SOURCE_VAR, SOURCE_VERSION_VAR and
# BUILT_USING_VAR to the Debian package that holds FILE and its facts, or
# to empty ones where no package does.
function(_name_dialogue_owner file package_var version_var source_var source_version_var built_using_var)
    foreach(var package version built_from built_from_version built_using)
        set(${var} "")
    endforeach()
    file(REAL_PATH "${file}" path)
    if(NAME_DIALOGUE_DPKG_QUERY)
        execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -S "${path}"
            OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND owner MATCHES "^([^:,]+(:[a-z0-9]+)?):")
            set(package "${CMAKE_MATCH_1}")
            execute_process(
                COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -W
                    "-f=\${Version}\t\${source:Package}\t\${source:Version}\t\${Built-Using}" "${package}"
                OUTPUT_VARIABLE fields)
            string(REPLACE "\t" ";" fields "${fields}")
            list(GET fields 0 version)
            list(GET fields 1 built_from)
            list(GET fields 2 built_from_version)
            list(GET fields 3 built_using)
            string(REGEX REPLACE ":[a-z0-9]+$" "" package "${package}")
        endif()
    endif()
    set(${package_var} "${package}" PARENT_SCOPE)
    set(${version_var} "${version}" PARENT_SCOPE)
    set(${source_var} "${built_from}" PARENT_SCOPE)
    set(${source_version_var} "${built_from_version}" PARENT_SCOPE)
    set(${built_using_var} "${built_using}" PARENT_SCOPE)
endfunction()

# Appends to the variables text and components the entry of the runtime
# NAME that the compiler links as LIBRARY, whose SBOM components are named
# COMPONENTS (a list). Its code is that of the Debian source package whose
# name matches SOURCE: the package's own source, or for a cross toolchain's
# rebuild the one it names in Built-Using. LICENCE is an SPDX expression;
# NOTE says where the text is.
function(_name_dialogue_runtime name components_names library source licence note)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    _name_dialogue_owner("${path}" package version built_from built_from_version built_using)
    set(shown "${licence}")
    if(note)
        string(APPEND shown " ${note}")
    endif()
    if(NOT package)
        string(APPEND text "\n${name}\n  Licence: ${shown}\n"
            "  From: ${library} of the compiler, not from a Debian package; its source is\n"
            "  that of the toolchain it came with.\n")
        foreach(component IN LISTS components_names)
            string(APPEND components "    {\"type\": \"library\", \"name\": \"${component}\", "
                "\"licenses\": [{\"expression\": \"${licence}\"}]},\n")
        endforeach()
        set(text "${text}" PARENT_SCOPE)
        set(components "${components}" PARENT_SCOPE)
        return()
    endif()

    set(code "${built_from}")
    set(code_version "${built_from_version}")
    set(fetch "${code}=${code_version}")
    set(recipe ":")
    set(pedigree "")
    if(NOT built_from MATCHES "^(${source})$" AND built_using MATCHES "(^|, )(${source}) \\(= ([^)]+)\\)")
        set(code "${CMAKE_MATCH_2}")
        set(code_version "${CMAKE_MATCH_3}")
        set(fetch "${code}=${code_version} ${built_from}=${built_from_version}")
        set(recipe ", as built by\n  ${built_from} ${built_from_version}:")
        # The cross toolchain's package is where the code came from; the
        # code itself is that of the source package it names.
        _name_dialogue_purl_escape(escaped "${code_version}")
        string(CONCAT pedigree ", \"pedigree\": {\"ancestors\": [{\"type\": \"library\", \"name\": \"${code}\", "
            "\"version\": \"${code_version}\", \"purl\": \"pkg:deb/debian/${code}@${escaped}?arch=source\"}]}")
    endif()
    # Upstream's version: no epoch, no Debian revision.
    string(REGEX REPLACE "^[0-9]+:" "" upstream "${code_version}")
    string(REGEX REPLACE "-[^-]*$" "" upstream "${upstream}")
    string(APPEND text "\n${name}, version ${upstream}\n  Licence: ${shown}\n"
        "  From: Debian package ${package} ${version}\n"
        "  Corresponding source: Debian's source package ${code} ${code_version}${recipe}\n"
        "  apt-get source ${fetch}\n  (snapshot.debian.org keeps every version).\n")
    _name_dialogue_purl_escape(escaped "${built_from_version}")
    foreach(component IN LISTS components_names)
        string(APPEND components "    {\"type\": \"library\", \"bom-ref\": \"runtime:${component}\", "
            "\"name\": \"${component}\", \"version\": \"${upstream}\", "
            "\"licenses\": [{\"expression\": \"${licence}\"}], "
            "\"purl\": \"pkg:deb/debian/${built_from}@${escaped}?arch=source\", "
            "\"properties\": [{\"name\": \"debian:package\", \"value\": \"${package} ${version}\"}]"
            "${pedigree}},\n")
    endforeach()
    set(text "${text}" PARENT_SCOPE)
    set(components "${components}" PARENT_SCOPE)
endfunction()

# Writes FILE, a JSON array of the tools that build the program here (the
# compiler, the linker's binutils and the C library it links against), each
# with the Debian package and version it came from.
function(name_dialogue_toolchain file)
    separate_arguments(flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-prog-name=cc1plus
        OUTPUT_VARIABLE cc1plus OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-prog-name=ld
        OUTPUT_VARIABLE ld OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${ld}")
        find_program(ld_path NAMES "${ld}" NO_CACHE)
        set(ld "${ld_path}")
    endif()
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=libc.a
        OUTPUT_VARIABLE libc OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(WIN32)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=libmsvcrt.a
            OUTPUT_VARIABLE libc OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    set(json "")
    foreach(role compiler:${cc1plus} linker:${ld} c-library:${libc})
        string(REGEX MATCH "^[^:]+" kind "${role}")
        string(REGEX REPLACE "^[^:]+:" "" path "${role}")
        if(NOT EXISTS "${path}")
            continue()
        endif()
        _name_dialogue_owner("${path}" package version source source_version built_using)
        if(NOT package)
            continue()
        endif()
        execute_process(COMMAND ${NAME_DIALOGUE_DPKG_QUERY} -W "-f=\${Architecture}" "${package}"
            OUTPUT_VARIABLE arch)
        _name_dialogue_purl_escape(escaped "${version}")
        string(APPEND json "    {\"type\": \"application\", \"name\": \"${package}\", \"version\": \"${version}\", "
            "\"purl\": \"pkg:deb/debian/${package}@${escaped}?arch=${arch}\", "
            "\"properties\": [{\"name\": \"name-dialogue:role\", \"value\": \"${kind}\"}]},\n")
    endforeach()
    string(REGEX REPLACE ",\n$" "\n" json "${json}")
    file(WRITE "${file}.new" "[\n${json}]\n")
    configure_file("${file}.new" "${file}" COPYONLY)
    file(REMOVE "${file}.new")
endfunction()

function(name_dialogue_notices output)
    set(licences GPL-3.0 GCC-exception-3.1)
    set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1")
    set(gcc_source "gcc-[0-9.]+")
    set(components "")
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
        if(CMAKE_CXX_FLAGS MATCHES "-stdlib=libc\\+\\+")
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
    string(REGEX REPLACE ",\n$" "\n" components "${components}")
    # Rewritten only when they change, so that a reconfigure rebuilds nothing.
    get_filename_component(dir "${output}" DIRECTORY)
    foreach(file "${output}" "${dir}/runtimes.cdx.json")
        if(file STREQUAL output)
            file(WRITE "${file}.new" "${text}")
        else()
            file(WRITE "${file}.new" "[\n${components}]\n")
        endif()
        configure_file("${file}.new" "${file}" COPYONLY)
        file(REMOVE "${file}.new")
    endforeach()
endfunction()
