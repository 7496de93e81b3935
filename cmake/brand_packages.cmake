# Configuration packages built from JSON at build time with
# tools/package_builder/build_package.py, signed with a development key that
# the build generates (never committed).

find_program(LITE_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(LITE_OPENSSL openssl REQUIRED)

set(LITE_PACKAGE_KEY "${CMAKE_BINARY_DIR}/keys/package_signing_key.pem")
if(NOT EXISTS "${LITE_PACKAGE_KEY}")
  file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/keys")
  execute_process(COMMAND ${LITE_OPENSSL} genrsa -out "${LITE_PACKAGE_KEY}" 1024
                  RESULT_VARIABLE key_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT key_result EQUAL 0)
    message(FATAL_ERROR "Cannot generate the development package-signing key")
  endif()
endif()

# lite_brand_package(OUTPUT <cab> ENTRY <brand_config|partner_config>
#                    JSON <file> [RAW])
function(lite_brand_package)
  cmake_parse_arguments(ARG "RAW" "OUTPUT;ENTRY;JSON" "" ${ARGN})
  set(extra)
  if(ARG_RAW)
    set(extra --raw-entry --allow-any-entry-name)
  endif()
  add_custom_command(
    OUTPUT "${ARG_OUTPUT}"
    COMMAND ${LITE_PYTHON3} "${PROJECT_SOURCE_DIR}/tools/package_builder/build_package.py"
            --entry ${ARG_ENTRY} --json "${ARG_JSON}" --key "${LITE_PACKAGE_KEY}"
            --out "${ARG_OUTPUT}" ${extra}
    DEPENDS "${ARG_JSON}" "${LITE_PACKAGE_KEY}"
            "${PROJECT_SOURCE_DIR}/tools/package_builder/build_package.py"
    COMMENT "Building configuration package ${ARG_OUTPUT}")
endfunction()
