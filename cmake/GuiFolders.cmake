# The folders of the system's windows beside the frame. They sit below app/: the frame creates
# them and hands them what they need, and they tell the frame things by message. Each links what
# it includes and no more, one way down: utilities > plots (spectrum, spectrogram) > dialogs >
# siggen > acquisition. tools/check_layers.py holds the same table and a test compares the two.
function(durnex_gui_library folder)
  string(REPLACE "/" "_" _lib ${folder})
  durnex_library(${_lib} ${PROJECT_SOURCE_DIR}/${folder} ${ARGN})
  set_target_properties(${_lib} PROPERTIES AUTOMOC ON)
endfunction()

durnex_gui_library(acquisition dsp wave records numerics res platform_ui platform_sound platform_usb platform_core)
durnex_gui_library(siggen acquisition dsp wave records res platform_ui platform_core)
durnex_gui_library(dialogs siggen acquisition dsp wave records numerics res platform_ui platform_sound platform_core)
durnex_gui_library(plots dialogs dsp wave records res platform_ui platform_core)
durnex_gui_library(plots/spectrum plots dsp records res platform_ui platform_core)
durnex_gui_library(plots/spectrogram plots dsp records platform_ui platform_core)
durnex_gui_library(utilities plots acquisition dsp wave records numerics res platform_ui platform_sound platform_core)

# The frame above them all.
target_link_libraries(app PUBLIC utilities plots plots_spectrum plots_spectrogram dialogs siggen acquisition)
