# Writes the direct links of every library of the program (and the program itself) to one file,
# "target type: link;link;...", so a test can hold them against tools/check_layers.py's table.
function(durnex_write_link_graph out)
  set(_dirs ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/platform ${PROJECT_SOURCE_DIR}/res
            ${PROJECT_SOURCE_DIR}/records ${PROJECT_SOURCE_DIR}/numerics ${PROJECT_SOURCE_DIR}/wave
            ${PROJECT_SOURCE_DIR}/dsp ${PROJECT_SOURCE_DIR}/app)
  set(_text "")
  foreach(_d ${_dirs})
    get_property(_targets DIRECTORY ${_d} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(_t ${_targets})
      get_target_property(_type ${_t} TYPE)
      if(NOT _type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
        continue()
      endif()
      get_target_property(_links ${_t} LINK_LIBRARIES)
      if(NOT _links)
        set(_links "")
      endif()
      string(APPEND _text "${_t} ${_type}: ${_links}\n")
    endforeach()
  endforeach()
  file(WRITE ${out} "${_text}")
endfunction()
