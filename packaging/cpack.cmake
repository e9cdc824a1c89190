# Package metadata for cpack. packaging/release.sh builds the release's
# packages with it; see the README's section for packagers.
set(CPACK_PACKAGE_VENDOR "the name-dialogue developers")
set(CPACK_PACKAGE_CONTACT "name-dialogue developers <name-dialogue@example.org>"
    CACHE STRING "Maintainer of the packages (the default is a placeholder address)")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ask for a first and a last name and write both back")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "name-dialogue asks for a first name, then for a last name, reads each\n"
    "answer as one whole line from standard input and writes both back on\n"
    "labelled lines. Names pass through as bytes, unchanged. Failed reads and\n"
    "writes are reported on standard error and in the exit status.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

# An archive is named after the system and the processor, as a target's
# declaration in cmake/targets/ names it.
string(TOLOWER "${CMAKE_SYSTEM_NAME}" system)
set(processor "${CMAKE_SYSTEM_PROCESSOR}")
if(NAME_DIALOGUE_CPU)
    set(processor "${NAME_DIALOGUE_CPU}")
elseif(processor MATCHES "^(AMD64|amd64)$")
    set(processor x86_64)
endif()
set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${system}-${processor}")
set(CPACK_SOURCE_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}")
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Which components each kind of package takes is settled per generator.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/packaging/cpack-generators.cmake")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_SUMMARY "Ask for a first and a last name and write both back")
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_GROUP "Applications/Text")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_AUTOREQPROV ON)
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/licenses /usr/share/man /usr/share/man/man1)
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/${PROJECT_NAME}/LICENSE")
# Packager, and the same bytes from every build: no build host or build time.
set(CPACK_RPM_SPEC_MORE_DEFINE [[
%define packager @CPACK_PACKAGE_CONTACT@
%define _buildhost reproducible
%define source_date_epoch_from_changelog 0
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _build_id_links none
]])
string(CONFIGURE "${CPACK_RPM_SPEC_MORE_DEFINE}" CPACK_RPM_SPEC_MORE_DEFINE @ONLY)

set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/" "/dist/")

include(CPack)
