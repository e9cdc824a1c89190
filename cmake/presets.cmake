# Writes cmake/target-presets.json, which CMakePresets.json includes: a
# configure, build, test and workflow preset for every target of
# cmake/targets.tsv, each named after it. Run it after adding or dropping a
# target; with -DCHECK=ON it changes nothing and fails when the file is not
# what the table gives.
# Usage: cmake [-DCHECK=ON] -P cmake/presets.cmake
include("${CMAKE_CURRENT_LIST_DIR}/targets.cmake")
name_dialogue_targets(names)
set(json [[{"version": 6, "include": ["common-presets.json"],
    "configurePresets": [], "buildPresets": [], "testPresets": [], "workflowPresets": []}]])
set(index 0)
foreach(name IN LISTS names)
    name_dialogue_target(${name})
    string(JSON json SET "${json}" configurePresets ${index}
        "{\"name\": \"${name}\", \"inherits\": \"target\", \"displayName\": \"${NAME_DIALOGUE_DESCRIPTION}\"}")
    string(JSON json SET "${json}" buildPresets ${index} "{\"name\": \"${name}\", \"configurePreset\": \"${name}\"}")
    string(JSON json SET "${json}" testPresets ${index}
        "{\"name\": \"${name}\", \"inherits\": \"common\", \"configurePreset\": \"${name}\"}")
    string(JSON json SET "${json}" workflowPresets ${index} "{\"name\": \"${name}\", \"steps\": [
        {\"type\": \"configure\", \"name\": \"${name}\"}, {\"type\": \"build\", \"name\": \"${name}\"},
        {\"type\": \"test\", \"name\": \"${name}\"}]}")
    math(EXPR index "${index} + 1")
endforeach()

set(file "${CMAKE_CURRENT_LIST_DIR}/target-presets.json")
if(CHECK)
    file(READ "${file}" committed)
    if(NOT committed STREQUAL "${json}\n")
        message(FATAL_ERROR "${file} does not match cmake/targets.tsv: run cmake -P cmake/presets.cmake")
    endif()
else()
    file(WRITE "${file}" "${json}\n")
endif()
