# Third-party code: GoogleTest from Debian's sources, OpenSSL libcrypto from
# the bootstrap's cache, nlohmann/json headers, zlib from MinGW's sysroot.

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
foreach(t gtest gmock gtest_main gmock_main)
  target_compile_options(${t} PRIVATE -w)
endforeach()

if(NOT EXISTS "${LITE_OPENSSL_ROOT}/lib/libcrypto.a")
  message(FATAL_ERROR
    "libcrypto for MinGW not found under ${LITE_OPENSSL_ROOT}; run tools/bootstrap.sh")
endif()
add_library(lite_crypto STATIC IMPORTED GLOBAL)
set_target_properties(lite_crypto PROPERTIES
  IMPORTED_LOCATION "${LITE_OPENSSL_ROOT}/lib/libcrypto.a"
  INTERFACE_INCLUDE_DIRECTORIES "${LITE_OPENSSL_ROOT}/include"
  INTERFACE_COMPILE_DEFINITIONS "OPENSSL_API_COMPAT=0x10100000L"
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt")

# Only the nlohmann/ folder: the host's /usr/include must never be searched.
set(LITE_JSON_INCLUDE "${CMAKE_BINARY_DIR}/json_include")
file(MAKE_DIRECTORY "${LITE_JSON_INCLUDE}")
if(EXISTS /usr/include/nlohmann AND NOT EXISTS "${LITE_JSON_INCLUDE}/nlohmann")
  file(CREATE_LINK /usr/include/nlohmann "${LITE_JSON_INCLUDE}/nlohmann" SYMBOLIC)
endif()
add_library(lite_json INTERFACE)
target_include_directories(lite_json SYSTEM INTERFACE "${LITE_JSON_INCLUDE}")
