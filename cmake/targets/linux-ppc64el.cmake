# Linux on 64-bit little-endian POWER (POWER8 and later).
set(NAME_DIALOGUE_TRIPLET powerpc64le-linux-gnu)
set(NAME_DIALOGUE_PROCESSOR ppc64le)
set(NAME_DIALOGUE_DEB_ARCH ppc64el)
set(NAME_DIALOGUE_RPM_ARCH ppc64le)
set(NAME_DIALOGUE_CPU ppc64le)
set(NAME_DIALOGUE_QEMU qemu-ppc64le-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-powerpc64le-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
