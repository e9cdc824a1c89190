# Read by cpack once per generator: each kind of package takes the program
# and the documents its kind expects.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL Unspecified debian)
elseif(CPACK_GENERATOR STREQUAL "RPM")
    set(CPACK_COMPONENTS_ALL Unspecified rpm)
else()
    set(CPACK_COMPONENTS_ALL Unspecified)
endif()
