// The resource groups of res/, one function each; RegisterBuiltInResources() calls them all.
#pragma once

void RegisterStringTable();
void RegisterPinkWave();
void RegisterMainMenu();
void RegisterCursors();
void RegisterIcons();
void RegisterFileDialogs(); // wave-file commands, editing, import/export, filter
void RegisterToolBitmaps();  // tool-window button pictures
void RegisterPrintDialogs(); // print annotations and margins
void RegisterFrameDialogs(); // About box and splash, Set Paths
void RegisterPlotSelectionDialogs(); // channel and composite plot selection
void RegisterPlaybackDialogs(); // the playback rate
void RegisterDeviceDialogs(); // system check
void RegisterProcessingDialogs(); // processing-settings pages, copy and calibration details
void RegisterSheetPageDialogs(); // the sheet's device input, triggering, run control and output pages
void RegisterSigGenDialogs(); // signal generator parameters and signal length
void RegisterUtilityDialogs(); // Leq and sound power options, data logging
void RegisterReverbDialogs();   // the reverberation options
void RegisterOverlayDialogs(); // overlay options and composite overlay setup
void RegisterThdDialogs();      // the THD+N-versus-frequency options
void RegisterPlotOptionsDialogs(); // plot options pages and marker options
void RegisterPlotBitmaps(); // watermark logo and the plot tool-strip buttons
