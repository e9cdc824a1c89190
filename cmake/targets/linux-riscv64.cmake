# Linux on 64-bit RISC-V (RV64GC).
set(NAME_DIALOGUE_DESCRIPTION "Linux on 64-bit RISC-V, static, cross-built")
set(NAME_DIALOGUE_TRIPLET riscv64-linux-gnu)
set(NAME_DIALOGUE_PROCESSOR riscv64)
set(NAME_DIALOGUE_DEB_ARCH riscv64)
set(NAME_DIALOGUE_RPM_ARCH riscv64)
# Debian 12 has no riscv64 port, so its .deb is cross-built in a Debian 13
# chroot, against that release's libraries.
set(NAME_DIALOGUE_DEB_SUITE trixie)
set(NAME_DIALOGUE_CPU riscv64)
set(NAME_DIALOGUE_QEMU qemu-riscv64-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-riscv64-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
