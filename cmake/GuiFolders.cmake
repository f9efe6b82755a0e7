# The folders of the system's windows beside the frame. They call the frame and the frame
# calls them, so each links app and app links each (static libraries allow the cycle).
set(DURNEX_GUI_FOLDERS acquisition plots plots/spectrum plots/spectrogram utilities siggen dialogs)
set(DURNEX_GUI_LIBS)
foreach(_f ${DURNEX_GUI_FOLDERS})
  string(REPLACE "/" "_" _lib ${_f})
  durnex_library(${_lib} ${PROJECT_SOURCE_DIR}/${_f} app app_settings wave dsp platform_ui res)
  set_target_properties(${_lib} PROPERTIES AUTOMOC ON)
  list(APPEND DURNEX_GUI_LIBS ${_lib})
endforeach()
target_link_libraries(app PUBLIC ${DURNEX_GUI_LIBS})
