# Linux on 32-bit ARM, soft-float EABI (ARMv5TE and later).
set(NAME_DIALOGUE_DESCRIPTION "Linux on 32-bit ARM, soft float, static, cross-built")
set(NAME_DIALOGUE_TRIPLET arm-linux-gnueabi)
set(NAME_DIALOGUE_PROCESSOR armv5tel)
set(NAME_DIALOGUE_DEB_ARCH armel)
# No .rpm: no RPM distribution builds for ARMv5 any more.
set(NAME_DIALOGUE_CPU armel)
set(NAME_DIALOGUE_QEMU qemu-arm-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-arm-linux-gnueabi)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
