# The product: 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LITE_MINGW_TRIPLET i686-w64-mingw32)
set(LITE_WINE_ARCH x86)
include("${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake")
