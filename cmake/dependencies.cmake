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

# Service endpoints, fixed at build time. The defaults are placeholders under
# the reserved .example domain until a deployment sets the real hosts; test
# builds may point them at the loopback services.
set(LITE_DOWNLOAD_ORIGIN "https://download.norvel.example" CACHE STRING "Setup archive download service")
set(LITE_LEGAL_ORIGIN "https://legal.norvel.example" CACHE STRING "License and privacy documents")
set(LITE_BROWSER_API_ORIGIN "https://api.browser.norvel.example" CACHE STRING "Variations and server configuration")
set(LITE_AB_API_ORIGIN "https://ab.norvel.example" CACHE STRING "A/B configuration and statistics")
set(LITE_NEWTAB_ORIGIN "https://newtab.norvel.example" CACHE STRING "New-tab page")
set(LITE_CRASH_ORIGIN "https://crash.norvel.example" CACHE STRING "Crash report upload")
set(LITE_REPORT_ORIGIN "https://storage.norvel.example" CACHE STRING "Installation-finished report")
# The dialogs' web pages end in the brand's country suffix, so only the
# stems are fixed here.
set(LITE_BROWSER_SITE_HOST_STEM "browser.norvel" CACHE STRING "Browser site host without its country suffix")
set(LITE_PORTAL_HOST_STEM "norvel" CACHE STRING "Maker's portal host without its country suffix")
configure_file("${CMAKE_CURRENT_LIST_DIR}/deployment_config.h.in"
               "${CMAKE_BINARY_DIR}/generated/deployment_config.h" @ONLY)
add_library(lite_deployment INTERFACE)
target_include_directories(lite_deployment INTERFACE "${CMAKE_BINARY_DIR}/generated")
