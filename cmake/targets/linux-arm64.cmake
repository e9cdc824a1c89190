# Linux on 64-bit ARM.
set(NAME_DIALOGUE_TRIPLET aarch64-linux-gnu)
set(NAME_DIALOGUE_PROCESSOR aarch64)
set(NAME_DIALOGUE_DEB_ARCH arm64)
set(NAME_DIALOGUE_RPM_ARCH aarch64)
set(NAME_DIALOGUE_CPU aarch64)
set(NAME_DIALOGUE_QEMU qemu-aarch64-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-aarch64-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
