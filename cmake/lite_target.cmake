# Shared settings for every target of the project.

set(LITE_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

# Size (tools/bench/executable_size.sh shows where the bytes go): every
# function and variable in a section of its own, so that the linker can drop
# whatever nothing references (LITE_GC_LINK).
set(LITE_SIZE_OPTIONS -ffunction-sections -fdata-sections -fno-ipa-sra -fno-ipa-cp-clone)
if(LITE_ARCH STREQUAL "x86")
  # 32-bit code finds structured-exception handlers through the frame chain
  # at fs:[0], and C++ exceptions are off: the DWARF unwind tables that GCC
  # writes by default serve nothing. (x86-64 needs its unwind tables: they
  # are how Windows walks the stack to dispatch a structured exception.)
  list(APPEND LITE_SIZE_OPTIONS -fno-asynchronous-unwind-tables)
endif()
set(LITE_GC_LINK -Wl,--gc-sections)

# Applies the project's compile definitions, warnings and static runtime.
function(lite_target_defaults target)
  target_compile_definitions(${target} PRIVATE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601 NTDDI_VERSION=0x06010000)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${LITE_WARNINGS} -fno-exceptions -fno-rtti>
    $<$<COMPILE_LANGUAGE:C>:-Wall>
    ${LITE_SIZE_OPTIONS})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
endfunction()

# One static library per folder.
function(lite_library name)
  add_library(${name} STATIC ${ARGN})
  lite_target_defaults(${name})
endfunction()

set(LITE_STATIC_LINK -static -static-libgcc -static-libstdc++ -municode ${LITE_GC_LINK})

# The shipped program and the programs measured against it: GUI subsystem,
# stripped; the 32-bit one without the runtime libraries' unwind tables
# (cmake/discard_unwind_tables.ld).
set(LITE_PRODUCT_LINK ${LITE_STATIC_LINK} -mwindows -s)
if(LITE_ARCH STREQUAL "x86")
  list(APPEND LITE_PRODUCT_LINK
       "-Wl,-T,${CMAKE_CURRENT_LIST_DIR}/discard_unwind_tables.ld")
endif()

# Links `target` as the product is linked.
function(lite_product_link target)
  target_link_options(${target} PRIVATE ${LITE_PRODUCT_LINK})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               "${PROJECT_SOURCE_DIR}/cmake/discard_unwind_tables.ld")
endfunction()

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
