# The x86_64 flavour: the same sources, for machines that cannot run 32-bit code.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
