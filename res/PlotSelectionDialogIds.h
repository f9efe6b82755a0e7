// Ids of the plot dialogs (channel and composite plot selection, composite measurement
// settings, data source) and of their controls.
#pragma once

#define IDD_SELECT_SINGLE_VIEW 240
#define IDD_SELECT_COMPOSITE_VIEW 241

// Single channel dialog: check boxes by plot kind, one per input channel (row 1 first).
inline constexpr int kSingleViewSeriesIds[8] = {1346, 1348, 1350, 1352, 1355, 1357, 1359, 1361};
inline constexpr int kSingleViewSpectrumIds[8] = {1379, 1381, 1383, 1385, 1388, 1391, 1394, 1397};
inline constexpr int kSingleViewPhaseIds[8] = {1424, 1427, 1430, 1432, 1434, 1436, 1438, 1440};
inline constexpr int kSingleViewSpectrogramIds[8] = {1456, 1457, 1458, 1459, 1460, 1461, 1462, 1463};
inline constexpr int kSingleViewSurfaceIds[8] = {1472, 1473, 1474, 1475, 1476, 1477, 1478, 1479};

// Composite dialog, per composite A..P.
inline constexpr int kCompositeEnableIds[16] = {1122, 1124, 1126, 1128, 1130, 1132, 1134, 1136,
                                                1138, 1140, 1141, 1142, 1143, 1144, 1145, 1146};
inline constexpr int kCompositeOperationIds[16] = {1353, 1386, 1389, 1392, 1395, 1398, 1401, 1404,
                                                   1407, 1410, 1413, 1416, 1419, 1422, 1425, 1428};
constexpr int kCompositeNameFirstId = 2023; // .. 2038
// The four plot boxes of composite c: kCompositePlotFirstId + 4 * c + kind (0 spectrum,
// 1 phase, 2 spectrogram, 3 surface).
constexpr int kCompositePlotFirstId = 2100;

// "Select Data Source": peak hold or spectrum of a trace.
#define IDD_OVERLAY_SOURCE 131
#define IDC_SOURCE_PEAK_HOLD 1531
#define IDC_SOURCE_SPECTRAL 1532

// "Composite Measurement Settings": one composite channel's type, channels and labels.
#define IDD_COMPOSITE_SETTINGS 242
#define IDC_COMPOSITE_TYPE 1488
constexpr int kCompositeTestFirstId = 1489;      // .. 1496, channels 0..7
constexpr int kCompositeReferenceFirstId = 1505; // .. 1512
inline constexpr int kCompositeIncludeIds[8] = {1521, 1112, 1113, 1114, 1115, 1116, 1117, 1522};
#define IDC_COMPOSITE_LABEL_LINEAR 2024
#define IDC_COMPOSITE_LABEL_LOG 2025
