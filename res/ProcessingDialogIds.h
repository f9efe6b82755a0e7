// Ids of the processing-settings sheet, its pages, the copy dialog and the calibration details
// dialog, and of their controls. Tables give the ids of rows 1..8 (channels 0..7).
#pragma once

#define IDD_FFT_SETTINGS_PAGE 120
#define IDD_SCALING_PAGE 121
#define IDD_CALIBRATION_PAGE 122
#define IDD_COPY_PROCESSING 3120
#define IDD_CALIBRATION_DETAILS 3121

// The sheet's own buttons.
#define IDC_SHEET_DEFAULTS 301
#define IDC_SHEET_COPY 302
#define IDC_SHEET_HELP 303

// FFT page.
inline constexpr int kFftSizeIds[8] = {1147, 1148, 1149, 1150, 1151, 1152, 1153, 1154};
inline constexpr int kFftWindowIds[8] = {1163, 1164, 1166, 1168, 1170, 1172, 1174, 1176};
inline constexpr int kFftModeIds[8] = {1262, 1264, 1266, 1268, 1270, 1272, 1274, 1276};
inline constexpr int kFftTypeIds[8] = {1291, 1292, 1293, 1294, 1295, 1296, 1297, 1298};
inline constexpr int kFftCountIds[8] = {1307, 1308, 1310, 1312, 1314, 1316, 1318, 1320};
inline constexpr int kFftOverlapIds[8] = {1794, 1795, 1796, 1797, 1798, 1799, 1801, 1802};
inline constexpr int kFftDecimationIds[8] = {1800, 1812, 1813, 1814, 1815, 1816, 1828, 1829};

// Scaling page.
inline constexpr int kFreqScaleIds[8] = {1165, 1167, 1169, 1171, 1173, 1175, 1177, 1179};
inline constexpr int kAmpScaleIds[8] = {1195, 1196, 1197, 1198, 1199, 1200, 1201, 1202};
inline constexpr int kSpectrumWeightingIds[8] = {1211, 1212, 1213, 1214, 1215, 1216, 1217, 1218};
inline constexpr int kWidebandWeightingIds[8] = {1243, 1244, 1245, 1246, 1247, 1248, 1249, 1250};
inline constexpr int kDensityIds[8] = {1227, 1228, 1229, 1230, 1231, 1232, 1233, 1234};
inline constexpr int kCompensationIds[8] = {1259, 1260, 1261, 1263, 1265, 1267, 1269, 1271};

// Calibration page.
inline constexpr int kCalEnableFirstId = 1536;   // .. 1543
inline constexpr int kCalComboFirstId = 1552;    // .. 1559
inline constexpr int kCalEditFirstId = 1616;     // .. 1623
inline constexpr int kCalNewFirstId = 1632;      // .. 1639
inline constexpr int kCalNameFirstId = 1866;     // .. 1873

// Copy dialog.
#define IDC_COPY_DESCRIPTION 2041
inline constexpr int kCopySourceFirstId = 2042;      // .. 2049
inline constexpr int kCopyDestinationFirstId = 2058; // .. 2065
#define IDC_COPY_SELECT_ALL 2074
#define IDC_COPY_CLEAR_ALL 2075

// Calibration details dialog.
#define IDC_CAL_METHOD_SENSITIVITY 1648
#define IDC_CAL_METHOD_EXTERNAL 1649
#define IDC_CAL_METHOD_WAVE 1662
#define IDC_CAL_TRANSDUCER 1650
#define IDC_CAL_SENSITIVITY_LABEL 1651
#define IDC_CAL_SENSITIVITY 1652
#define IDC_CAL_SENSITIVITY_TYPE 1857
#define IDC_CAL_OFFSET_LABEL 2177
#define IDC_CAL_OFFSET 1659
#define IDC_CAL_EXTERNAL_UNITS 1655
#define IDC_CAL_WAVE_UNITS 1663
#define IDC_CAL_EXTERNAL_LEVEL 1656
#define IDC_CAL_WAVE_LEVEL 1664
#define IDC_CAL_EXTERNAL_TYPE 1853
#define IDC_CAL_WAVE_TYPE 1858
#define IDC_CAL_DISPLAY_TYPE 1654
#define IDC_CAL_MEASURED_VOLTAGE 1658
#define IDC_CAL_MEASURE 1657
#define IDC_CAL_STATUS 2160
#define IDC_CAL_HINT 2161
#define IDC_CAL_MEASURE_WAVE 2178
#define IDC_CAL_DETECTED_LEVEL 1665
#define IDC_CAL_CONVERSION 1653
#define IDC_CAL_LABEL_LINEAR 1661
#define IDC_CAL_LABEL_LOG 1660
#define IDC_CAL_SAVE 1854
#define IDC_CAL_SAVE_AS 1855
#define IDC_CAL_CANCEL 1856
