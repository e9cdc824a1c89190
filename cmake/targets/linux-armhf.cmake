# Linux on 32-bit ARM, hard-float EABI (ARMv7 with VFPv3-D16 and later).
set(NAME_DIALOGUE_TRIPLET arm-linux-gnueabihf)
set(NAME_DIALOGUE_PROCESSOR armv7l)
set(NAME_DIALOGUE_DEB_ARCH armhf)
set(NAME_DIALOGUE_RPM_ARCH armv7hl)
set(NAME_DIALOGUE_CPU armhf)
set(NAME_DIALOGUE_QEMU qemu-arm-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-arm-linux-gnueabihf)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
