# The libraries from the bottom up, each with its folder: a library may use
# (link, include) only those listed before it. tools/check_layers.py checks
# the includes; lite_check_layers() below checks the links at configure
# time.
set(LITE_LAYERS
  "base=base"
  "logging=logging"
  "crash=crash"
  "norvel_util=chrome/installer/norvel/util"
  "norvel_network=chrome/installer/norvel/util/network"
  "norvel_trust=chrome/installer/norvel/util/trust"
  "norvel_stats=chrome/installer/norvel/util/statistics"
  "brand=brand"
  "lite_installer_lib=chrome/installer/lite_installer")

function(lite_check_layers)
  set(below)
  foreach(layer ${LITE_LAYERS})
    string(REPLACE "=" ";" parts "${layer}")
    list(GET parts 0 lib)
    set(libs ${libs} ${lib})
  endforeach()
  set(index 0)
  foreach(lib ${libs})
    get_target_property(deps ${lib} LINK_LIBRARIES)
    foreach(dep ${deps})
      list(FIND libs "${dep}" dep_index)
      if(dep_index GREATER_EQUAL index)
        message(FATAL_ERROR "${lib} links ${dep}, which is not below it (cmake/layers.cmake)")
      endif()
    endforeach()
    math(EXPR index "${index} + 1")
  endforeach()
endfunction()
