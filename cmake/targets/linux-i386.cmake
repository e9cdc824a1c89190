# Linux on 32-bit x86 (i686 and later).
set(NAME_DIALOGUE_DESCRIPTION "Linux on 32-bit x86, static, cross-built")
set(NAME_DIALOGUE_TRIPLET i686-linux-gnu)
set(NAME_DIALOGUE_PROCESSOR i686)
set(NAME_DIALOGUE_DEB_ARCH i386)
# No .rpm: the RPM distributions build 32-bit x86 packages only as
# libraries for 64-bit systems.
set(NAME_DIALOGUE_CPU i686)
set(NAME_DIALOGUE_QEMU qemu-i386-static)
set(NAME_DIALOGUE_COMPILER_PACKAGE g++-i686-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/../linux-target.cmake")
