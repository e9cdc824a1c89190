# Writes the CycloneDX 1.6 SBOM of one release artifact: the program inside
# it, with its SHA-256, licence and purl; for a static artifact, the runtimes
# linked into it, as the build that made it recorded them beside NOTICES;
# for a .deb or an .rpm, the packages it depends on, with their versions;
# and the tools that built it. It holds no time but SOURCE_DATE_EPOCH and no
# number that differs between two builds of the same commit.
# Usage: cmake -DARTIFACT=FILE -DKIND=tarball|zip|deb|rpm -DVERSION=V
#              -DPROGRAM=FILE -DINSIDE=PATH-IN-ARTIFACT [-DARCH=ARCH]
#              [-DRUNTIMES=runtimes.cdx.json] -DTOOLCHAIN=toolchain.cdx.json
#              [-DDEPENDS_FILE=FILE] -DOUTPUT=FILE -P packaging/sbom.cmake
# DEPENDS_FILE holds the package's dependencies, a line each, as the package
# manager names them: "NAME" or "NAME OP VERSION".
cmake_minimum_required(VERSION 3.25)
foreach(var ARTIFACT KIND VERSION PROGRAM INSIDE TOOLCHAIN OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "sbom.cmake needs -D${var}=...")
    endif()
endforeach()
get_filename_component(artifact_name "${ARTIFACT}" NAME)
file(SHA256 "${PROGRAM}" program_hash)

# A fixed serial number of the artifact's name and its program.
string(SHA256 digest "${artifact_name} ${program_hash}")
string(SUBSTRING "${digest}" 0 8 a)
string(SUBSTRING "${digest}" 8 4 b)
string(SUBSTRING "${digest}" 13 3 c)
string(SUBSTRING "${digest}" 17 3 d)
string(SUBSTRING "${digest}" 20 12 e)
set(serial "urn:uuid:${a}-${b}-5${c}-8${d}-${e}")

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{TZ} UTC)
    string(TIMESTAMP timestamp "%Y-%m-%dT%H:%M:%SZ" UTC)
else()
    message(FATAL_ERROR "sbom.cmake needs SOURCE_DATE_EPOCH")
endif()

string(REPLACE "+" "%2B" purl_version "${VERSION}")
if(KIND STREQUAL "deb")
    set(purl "pkg:deb/name-dialogue/name-dialogue@${purl_version}?arch=${ARCH}")
    set(scheme deb)
elseif(KIND STREQUAL "rpm")
    set(purl "pkg:rpm/name-dialogue/name-dialogue@${purl_version}?arch=${ARCH}")
    set(scheme rpm)
else()
    set(purl "pkg:generic/name-dialogue@${purl_version}")
endif()

set(inside "[]")
set(refs "")
if(RUNTIMES)
    file(READ "${RUNTIMES}" inside)
    string(JSON count LENGTH "${inside}")
    if(count GREATER 0)
        math(EXPR last "${count} - 1")
        foreach(i RANGE ${last})
            string(JSON ref GET "${inside}" ${i} bom-ref)
            list(APPEND refs "\"${ref}\"")
        endforeach()
    endif()
endif()

# The dependencies, required but not inside the artifact, each with the
# versions it accepts as a vers range (CycloneDX 1.6 has no field of its
# own for that).
set(external "")
set(external_refs "")
if(DEPENDS_FILE)
    file(STRINGS "${DEPENDS_FILE}" depends)
    foreach(line IN LISTS depends)
        if(NOT line MATCHES "^([^ ]+)( ([<>=]+) ([^ ]+))?$")
            message(FATAL_ERROR "not a dependency: ${line}")
        endif()
        set(name "${CMAKE_MATCH_1}")
        set(range "")
        if(CMAKE_MATCH_2)
            set(op "${CMAKE_MATCH_3}")
            string(REPLACE ">>" ">" op "${op}")
            string(REPLACE "<<" "<" op "${op}")
            if(op STREQUAL "=")
                set(op "")
            endif()
            string(REPLACE "+" "%2B" version "${CMAKE_MATCH_4}")
            set(range ", \"properties\": [{\"name\": \"name-dialogue:accepts\", \"value\": \"vers:${scheme}/${op}${version}\"}]")
        endif()
        string(MAKE_C_IDENTIFIER "${name}" id)
        set(ref "dependency:${id}")
        set(extra "")
        if(KIND STREQUAL "deb")
            string(REPLACE "+" "%2B" purl_name "${name}")
            set(extra ", \"purl\": \"pkg:deb/debian/${purl_name}?arch=${ARCH}\"")
        endif()
        string(REPLACE "\"" "\\\"" quoted "${name}")
        string(APPEND external ",\n    {\"type\": \"library\", \"bom-ref\": \"${ref}\", \"name\": \"${quoted}\", "
            "\"scope\": \"required\"${extra}${range}}")
        list(APPEND external_refs "\"${ref}\"")
    endforeach()
endif()

file(READ "${TOOLCHAIN}" tools)
list(APPEND refs ${external_refs})
list(JOIN refs ", " depends_on)
set(dependencies "    {\"ref\": \"program\", \"dependsOn\": [${depends_on}]}")
foreach(ref IN LISTS refs)
    string(APPEND dependencies ",\n    {\"ref\": ${ref}, \"dependsOn\": []}")
endforeach()

string(CONCAT json
    "{\n"
    "  \"bomFormat\": \"CycloneDX\",\n"
    "  \"specVersion\": \"1.6\",\n"
    "  \"serialNumber\": \"${serial}\",\n"
    "  \"version\": 1,\n"
    "  \"metadata\": {\n"
    "    \"timestamp\": \"${timestamp}\",\n"
    "    \"tools\": {\"components\": ${tools}},\n"
    "    \"component\": {\"type\": \"file\", \"bom-ref\": \"artifact\", \"name\": \"${artifact_name}\", "
    "\"version\": \"${VERSION}\"}\n"
    "  },\n"
    "  \"components\": [\n"
    "    {\"type\": \"application\", \"bom-ref\": \"program\", \"name\": \"name-dialogue\", "
    "\"version\": \"${VERSION}\",\n"
    "     \"hashes\": [{\"alg\": \"SHA-256\", \"content\": \"${program_hash}\"}],\n"
    "     \"licenses\": [{\"license\": {\"id\": \"MIT\"}}],\n"
    "     \"purl\": \"${purl}\",\n"
    "     \"properties\": [{\"name\": \"name-dialogue:path\", \"value\": \"${INSIDE}\"}],\n"
    "     \"components\": ${inside}}"
    "${external}\n"
    "  ],\n"
    "  \"dependencies\": [\n${dependencies}\n  ]\n"
    "}\n")
string(JSON check ERROR_VARIABLE error TYPE "${json}")
if(error)
    message(FATAL_ERROR "the SBOM of ${artifact_name} is not JSON: ${error}")
endif()
file(WRITE "${OUTPUT}" "${json}")
