# 64-bit Windows with Debian's MinGW-w64: the second build of the same
# sources, which machines that cannot run 32-bit programs test under 64-bit
# Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake)
