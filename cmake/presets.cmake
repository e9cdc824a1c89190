# Writes cmake/target-presets.json, which CMakePresets.json includes: a
# configure, build, test and workflow preset for every target of
# cmake/targets.cmake, each named after it. Run it after adding or dropping a
# target; with -DCHECK=ON it changes nothing and fails when the file is not
# what the table gives.
# Usage: cmake [-DCHECK=ON] -P cmake/presets.cmake
include("${CMAKE_CURRENT_LIST_DIR}/targets.cmake")

set(configure "")
set(build "")
set(test "")
set(workflow "")
function(_name_dialogue_presets name)
    name_dialogue_target(${name})
    string(APPEND configure "        {\n"
        "            \"name\": \"${name}\",\n"
        "            \"inherits\": \"target\",\n"
        "            \"displayName\": \"${NAME_DIALOGUE_DESCRIPTION}\"\n"
        "        },\n")
    string(APPEND build "        {\n"
        "            \"name\": \"${name}\",\n"
        "            \"configurePreset\": \"${name}\"\n"
        "        },\n")
    string(APPEND test "        {\n"
        "            \"name\": \"${name}\",\n"
        "            \"inherits\": \"common\",\n"
        "            \"configurePreset\": \"${name}\"\n"
        "        },\n")
    set(steps "")
    foreach(type configure build test)
        string(APPEND steps "                {\n"
            "                    \"type\": \"${type}\",\n"
            "                    \"name\": \"${name}\"\n"
            "                },\n")
    endforeach()
    string(REGEX REPLACE ",\n$" "\n" steps "${steps}")
    string(APPEND workflow "        {\n"
        "            \"name\": \"${name}\",\n"
        "            \"steps\": [\n${steps}            ]\n"
        "        },\n")
    foreach(kind configure build test workflow)
        set(${kind} "${${kind}}" PARENT_SCOPE)
    endforeach()
endfunction()
foreach(row IN LISTS NAME_DIALOGUE_TARGETS)
    string(REGEX MATCH "^[^ ]+" name "${row}")
    _name_dialogue_presets(${name})
endforeach()

set(json "{\n    \"version\": 6,\n    \"include\": [\"common-presets.json\"],\n")
foreach(kind configure build test workflow)
    string(REGEX REPLACE ",\n$" "\n" list "${${kind}}")
    string(APPEND json "    \"${kind}Presets\": [\n${list}    ],\n")
endforeach()
string(REGEX REPLACE ",\n$" "\n}\n" json "${json}")

set(file "${CMAKE_CURRENT_LIST_DIR}/target-presets.json")
if(CHECK)
    file(READ "${file}" committed)
    if(NOT committed STREQUAL json)
        message(FATAL_ERROR "${file} does not match cmake/targets.cmake: run cmake -P cmake/presets.cmake")
    endif()
else()
    file(WRITE "${file}" "${json}")
endif()
