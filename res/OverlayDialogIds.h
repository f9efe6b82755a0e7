// Ids of the overlay options and composite overlay dialogs and their controls.
#pragma once

#define IDD_OVERLAY_OPTIONS 117
#define IDD_COMPOSITE_OVERLAY 118

// Overlay options: slot k (0..6) uses the seven ids from IDC_OVERLAY_NAME + 7k.
#define IDC_OVERLAY_NAME 1059   // legend name edit
#define IDC_OVERLAY_OFFSET 1060 // offset edit (dB)
#define IDC_OVERLAY_SPIN 1061   // offset spin
#define IDC_OVERLAY_SAVE 1062
#define IDC_OVERLAY_LOAD 1063
#define IDC_OVERLAY_COLOR 1064  // "Change..."
#define IDC_OVERLAY_SWATCH 1065
#define IDC_OVERLAY_LEGEND_SIZE 1108
#define IDC_OVERLAY_DEFAULTS 1002
#define IDC_OVERLAY_HELP 1001

inline constexpr int kOverlaySlotIdStride = 7;

// Composite overlay setup.
#define IDC_COMPOSITE_AVERAGE 1110
#define IDC_COMPOSITE_SUBTRACT 1111
#define IDC_COMPOSITE_INCLUDE_1 1112 // 1112..1117: overlays 1..6 in the average
#define IDC_COMPOSITE_HELP 1001
inline constexpr int kCompositeFromIds[6] = {1118, 1119, 1121, 1123, 1125, 1127}; // the minuend
inline constexpr int kCompositeMinusIds[6] = {1129, 1131, 1133, 1135, 1137, 1139}; // the subtrahend
