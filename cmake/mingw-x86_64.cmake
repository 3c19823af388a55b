# The same Windows sources for x86-64: used to run the Windows tests under a 64-bit Wine on
# machines whose kernel cannot execute 32-bit code (scripts/test chooses).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NXR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
