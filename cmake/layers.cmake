# Libraries point down only. Each library has a layer; a library may link only libraries of
# a lower layer, so two libraries of one layer (the procedure libraries) never link each other
# and nothing links in a circle. A library missing from the table is an error too.
set(qb_layers
    pf_core 0
    pf_runtime 1
    pf_store 2
    pf_ui 2
    pf_ui_qt 3
    pf_report 4
    pf_classes 5
    pf_os 6
    qb_data 7
    qb_services 8
    qb_sites 9
    qb_reports 9
    qb_maintenance 9
    qb_shell 10)

function(qb_layer_of target out)
  list(FIND qb_layers ${target} at)
  if(at EQUAL -1)
    set(${out} "" PARENT_SCOPE)
  else()
    math(EXPR at "${at} + 1")
    list(GET qb_layers ${at} layer)
    set(${out} ${layer} PARENT_SCOPE)
  endif()
endfunction()

function(qb_check_layers)
  set(names ${qb_layers})
  list(LENGTH names n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    list(GET names ${i} target)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "library ${target} is in the layer table but is not built")
    endif()
    qb_layer_of(${target} layer)
    get_target_property(links ${target} LINK_LIBRARIES)
    foreach(dep IN LISTS links)
      if(dep MATCHES "^(pf|qb)_")
        qb_layer_of(${dep} dep_layer)
        if(dep_layer STREQUAL "")
          message(FATAL_ERROR "${target} links ${dep}, which has no layer in cmake/layers.cmake")
        endif()
        if(NOT dep_layer LESS layer)
          message(FATAL_ERROR "${target} (layer ${layer}) links ${dep} (layer ${dep_layer}): libraries point down only")
        endif()
      elseif(dep MATCHES "\\$<")
        message(FATAL_ERROR "${target} links through a generator expression (${dep}): name the library")
      endif()
    endforeach()
  endforeach()
endfunction()
