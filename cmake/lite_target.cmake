# Shared settings for every target of the project.

set(LITE_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

# Applies the project's compile definitions, warnings and static runtime.
function(lite_target_defaults target)
  target_compile_definitions(${target} PRIVATE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601 NTDDI_VERSION=0x06010000)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${LITE_WARNINGS} -fno-exceptions -fno-rtti>
    $<$<COMPILE_LANGUAGE:C>:-Wall>)
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
endfunction()

# One static library per folder.
function(lite_library name)
  add_library(${name} STATIC ${ARGN})
  lite_target_defaults(${name})
endfunction()

set(LITE_STATIC_LINK -static -static-libgcc -static-libstdc++ -municode)

# A unit-test executable that runs under Wine through ctest. Extra ctest
# properties (resource locks, timeouts) are set by the caller.
function(lite_unittest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lite_target_defaults(${name})
  # Tests use gtest macros, which need exceptions off to be consistent.
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} lite_test_main)
  target_link_options(${name} PRIVATE ${LITE_STATIC_LINK})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
