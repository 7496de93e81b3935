# Shared by the toolchain files: cross-compiles with MinGW-w64 (posix thread
# model) for LITE_MINGW_TRIPLET and runs every built program under Wine
# through one wrapper, with the loader and prefix of LITE_WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${LITE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LITE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LITE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LITE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../tools/wine_run.sh;--arch=${LITE_WINE_ARCH}")
