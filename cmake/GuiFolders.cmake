# The folders of the system's windows beside the frame. They sit below app/: the frame creates
# them and hands them what they need, and they tell the frame things by message. They may use
# one another (static libraries allow the cycle within this layer).
set(DURNEX_GUI_FOLDERS acquisition plots plots/spectrum plots/spectrogram utilities siggen dialogs)
set(DURNEX_GUI_LIBS)
foreach(_f ${DURNEX_GUI_FOLDERS})
  string(REPLACE "/" "_" _lib ${_f})
  durnex_library(${_lib} ${PROJECT_SOURCE_DIR}/${_f} app_settings wave dsp records numerics platform_ui res)
  set_target_properties(${_lib} PROPERTIES AUTOMOC ON)
  list(APPEND DURNEX_GUI_LIBS ${_lib})
endforeach()
foreach(_lib ${DURNEX_GUI_LIBS})
  set(_others ${DURNEX_GUI_LIBS})
  list(REMOVE_ITEM _others ${_lib})
  target_link_libraries(${_lib} PUBLIC ${_others})
endforeach()
target_link_libraries(app PUBLIC ${DURNEX_GUI_LIBS})
# The sound-card ports play through the platform's sound output.
target_link_libraries(acquisition PUBLIC platform_sound)
# The device layer reads the USB device through the platform's WinUSB functions.
target_link_libraries(acquisition PUBLIC platform_usb)
# The window libraries call one another in a cycle; the linker needs the cycle repeated.
foreach(_lib ${DURNEX_GUI_LIBS})
  set_property(TARGET ${_lib} PROPERTY LINK_INTERFACE_MULTIPLICITY 4)
endforeach()
