# Read by cpack once per generator: each kind of package takes the program
# and the documents its kind expects.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL Unspecified debian)
elseif(CPACK_GENERATOR STREQUAL "RPM")
    set(CPACK_COMPONENTS_ALL Unspecified rpm)
else()
    # An archive unpacks into one folder named after it.
    set(CPACK_COMPONENTS_ALL Unspecified)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
