# The same sources for 64-bit Windows: the test build for machines that
# cannot execute 32-bit code. Programs run under 64-bit Wine in a win64
# prefix of their own.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LITE_MINGW_TRIPLET x86_64-w64-mingw32)
set(LITE_WINE_ARCH x64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake")
