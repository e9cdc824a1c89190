# Linux on 32-bit ARM, hard-float EABI (ARMv7 with VFPv3-D16 and later).
set(NAME_DIALOGUE_DESCRIPTION "Linux on 32-bit ARM, hard float, static, cross-built")
set(NAME_DIALOGUE_TRIPLET arm-linux-gnueabihf)
set(NAME_DIALOGUE_PROCESSOR armv7l)
set(NAME_DIALOGUE_DEB_ARCH armhf)
# No .rpm: Fedora left 32-bit ARM with release 37, and no other RPM
# distribution's build services are asked for it.
set(NAME_DIALOGUE_CPU armhf)
set(NAME_DIALOGUE_QEMU qemu-arm-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-arm-linux-gnueabihf)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
