// Ids of the plot options sheet, its five pages and the marker options dialog, and of their
// controls. The pages share ids where they show the same thing.
#pragma once

#define IDD_PLOTOPTS_SERIES 112
#define IDD_PLOTOPTS_SPECTRUM 113
#define IDD_PLOTOPTS_PHASE 114
#define IDD_PLOTOPTS_SPECTROGRAM 115
#define IDD_PLOTOPTS_SURFACE 116
#define IDD_MARKER_OPTIONS 133

// The sheet's own controls below the tabs.
#define IDC_PLOTOPTS_CHANNEL 301
#define IDC_PLOTOPTS_PREV 302
#define IDC_PLOTOPTS_NEXT 303

// Shared by the pages.
#define IDC_PO_HELP 1001
#define IDC_PO_DEFAULTS 1002
#define IDC_PO_LINEAR 1003
#define IDC_PO_LOG 1004
#define IDC_PO_TOP 1005
#define IDC_PO_RANGE 1006
#define IDC_PO_INTERVAL 1007
#define IDC_PO_TOP_SPIN 1008
#define IDC_PO_RANGE_SPIN 1009
#define IDC_PO_LINE_COLOR 1010
#define IDC_PO_BACK_COLOR 1011
#define IDC_PO_GRID_COLOR 1012
#define IDC_PO_GRID_X 1013
#define IDC_PO_CENTER 1014 // time series; the start box's spin on the history pages
#define IDC_PO_GRID_Y 1015
#define IDC_PO_CENTER_SPIN 1016 // time series; the stop box's spin on the history pages
#define IDC_PO_TOOLBAR 1017
#define IDC_PO_START_TIME 1018
#define IDC_PO_STOP_TIME 1019
#define IDC_PO_AS_OFTEN 1020
#define IDC_PO_SPECIFIC 1021
#define IDC_PO_INTERVAL_SPIN 1022
#define IDC_PO_LINE_GRAPH 1023
#define IDC_PO_BAR_GRAPH 1024
#define IDC_PO_STEP_GRAPH 1025
#define IDC_PO_START_FREQ 1026
#define IDC_PO_STOP_FREQ 1027
#define IDC_PO_BACK_SWATCH 1028
#define IDC_PO_LINE_SWATCH 1029
#define IDC_PO_GRID_SWATCH 1030
#define IDC_PO_PEAK_SWATCH 1031
#define IDC_PO_MARKER_SWATCH 1032
#define IDC_PO_PULL_CURSOR 1033
#define IDC_PO_PEAK_COLOR 1034
#define IDC_PO_MARKER_COLOR 1035
#define IDC_PO_POWER_METER 1038
#define IDC_PO_RMS_LEVEL 1039
#define IDC_PO_FULL_SPAN 1040
#define IDC_PO_CUSTOM_SPAN 1041
#define IDC_PO_MAX_COLOR 1042
#define IDC_PO_MIN_COLOR 1043
#define IDC_PO_MAX_SWATCH 1044
#define IDC_PO_MIN_SWATCH 1045
#define IDC_PO_FULL_COLOR 1046
#define IDC_PO_GRAY_SCALE 1047
#define IDC_PO_CUSTOM_COLOR 1048
#define IDC_PO_DIR_UP 1049
#define IDC_PO_SURF_BACK_COLOR 1050
#define IDC_PO_DIR_DOWN 1051
#define IDC_PO_SURF_BACK_SWATCH 1052
#define IDC_PO_DIR_LEFT 1053
#define IDC_PO_SOLID_COLOR 1054
#define IDC_PO_DIR_RIGHT 1055
#define IDC_PO_SMOOTH_SCROLL 1056
#define IDC_PO_OVERLAP_SCROLL 1057
#define IDC_PO_COPY_ALL 1058
#define IDC_PO_PEAK_HOLD 1852
#define IDC_PO_RANGE_LABEL 1865
#define IDC_PO_OVERLAY_CONTROLS 1882
#define IDC_PO_MARKER_OPTIONS 1696

// Marker options dialog: rows of markers 1..8.
inline constexpr int kMarkerEnabledFirstId = 1663; // .. 1670
inline constexpr int kMarkerFreqFirstId = 1671;    // .. 1678
inline constexpr int kMarkerLabelFirstId = 1679;   // .. 1686
inline constexpr int kMarkerCustomFirstId = 1687;  // .. 1694
#define IDC_MARKER_PEAK_HOLD 1695
