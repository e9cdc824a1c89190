# The portable archives: a tarball of the static program for Linux, a zip for
# Windows, each unpacking into one folder named after it: packaging/build.sh
# makes them, as goals of the release's graph, packaging/release.mk; the
# distributions' packages have their own recipes beside this.
set(CPACK_PACKAGE_VENDOR "the name-dialogue developers")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

# An archive is named as the target's row in cmake/targets.tsv says, or else
# after the system and the processor.
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" archive)
if(NAME_DIALOGUE_ARCHIVE)
    set(archive "${NAME_DIALOGUE_ARCHIVE}")
endif()
set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${archive}")
set(CPACK_SOURCE_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}")
set(CPACK_GENERATOR TGZ)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
