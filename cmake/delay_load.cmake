# Delay-loaded system libraries, generated from lists of the functions we
# call (cmake/delay_load_imports.txt describes the format).

set(LITE_DELAY_LOAD_IMPORTS "${CMAKE_CURRENT_LIST_DIR}/delay_load_imports.txt")

# lite_delay_load(<target> <list file>...): links <target> with one
# delay-import library per DLL named in the lists (the functions of all
# lists together) and forces each function's thunk into the program. GNU ld
# would otherwise drop the thunk of every function that the headers declare
# dllimport, and the first call would jump to address 0.
function(lite_delay_load target)
  set(dlls)
  foreach(list_file ${ARGN})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${list_file}")
    file(STRINGS "${list_file}" lines REGEX "^[^#]")
    foreach(line ${lines})
      string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
      list(LENGTH fields count)
      if(NOT count EQUAL 3)
        message(FATAL_ERROR "${list_file}: '${line}' is not 'DLL function bytes'")
      endif()
      list(GET fields 0 dll)
      list(GET fields 1 function)
      list(GET fields 2 bytes)
      string(TOLOWER "${dll}" dll)
      string(MAKE_C_IDENTIFIER "${dll}" key)
      if(NOT key IN_LIST dlls)
        list(APPEND dlls ${key})
        set(dll_name_${key} "${dll}")
        set(exports_${key} "")
      endif()
      # 32-bit stdcall names carry their argument bytes; dlltool -k takes
      # the decoration off the name that the loader looks up.
      if(LITE_ARCH STREQUAL "x86" AND NOT bytes STREQUAL "cdecl")
        string(APPEND exports_${key} "  ${function}@${bytes}\n")
        target_link_options(${target} PRIVATE "-Wl,-u,_${function}@${bytes}")
      elseif(LITE_ARCH STREQUAL "x86")
        string(APPEND exports_${key} "  ${function}\n")
        target_link_options(${target} PRIVATE "-Wl,-u,_${function}")
      else()
        string(APPEND exports_${key} "  ${function}\n")
        target_link_options(${target} PRIVATE "-Wl,-u,${function}")
      endif()
    endforeach()
  endforeach()
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_delay_load")
  set(libraries)
  foreach(key ${dlls})
    set(def "${dir}/${key}.def")
    set(library "${dir}/lib${key}_delay.a")
    # Rewritten only when it changes, so that an unchanged list rebuilds
    # nothing.
    file(WRITE "${def}.new" "LIBRARY \"${dll_name_${key}}\"\nEXPORTS\n${exports_${key}}")
    configure_file("${def}.new" "${def}" COPYONLY)
    add_custom_command(OUTPUT "${library}"
      COMMAND "${CMAKE_DLLTOOL}" -k -d "${def}" -y "${library}"
      DEPENDS "${def}"
      COMMENT "Delay-import library of ${dll_name_${key}} for ${target}")
    list(APPEND libraries "${library}")
  endforeach()
  add_custom_target(${target}_delay_load_libraries DEPENDS ${libraries})
  add_dependencies(${target} ${target}_delay_load_libraries)
  # Named before the objects, so that the -u symbols above are taken from
  # these archives and not from the system import libraries that come after.
  target_link_options(${target} PRIVATE ${libraries})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
