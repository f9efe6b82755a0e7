// Ids of the processing-settings sheet's device input, triggering, run control and output pages
// and of their controls. Tables give the ids of rows 1..8 (channels 0..7).
#pragma once

#define IDD_TRIGGERING_PAGE 123
#define IDD_DEVICE_INPUT_PAGE 124
#define IDD_OUTPUT_PAGE 125
#define IDD_RUN_CONTROL_PAGE 136

// Device input page.
inline constexpr int kInputEnableFirstId = 2400;   // .. 2407
inline constexpr int kInputRangeFirstId = 2410;    // .. 2417
inline constexpr int kInputCouplingFirstId = 2420; // .. 2427
inline constexpr int kInputIepeFirstId = 2430;     // .. 2437
inline constexpr int kInputFilterFirstId = 2440;   // .. 2447
#define IDC_INPUT_RATE 2450
#define IDC_INPUT_BITS 2451
#define IDC_INPUT_SAMPLING 2452

// Triggering page.
#define IDC_TRIG_ENABLE 2500
#define IDC_TRIG_SOURCE 2501
#define IDC_TRIG_CHANNEL 2502
#define IDC_TRIG_LEVEL 2503
#define IDC_TRIG_EDGE 2504
#define IDC_TRIG_POSITIVE 2505
#define IDC_TRIG_NEGATIVE 2506
#define IDC_TRIG_THRESHOLD 2507
#define IDC_TRIG_PRE 2508
#define IDC_TRIG_POST 2509
#define IDC_TRIG_DELAY 2510
#define IDC_TRIG_PROMPT 2511

// Run control page.
#define IDC_RUN_UNTIL_STOP 2600
#define IDC_RUN_FFTS 2601
#define IDC_RUN_SECONDS 2602
#define IDC_RUN_FFT_LIMIT 2603
#define IDC_RUN_TIME_LIMIT 2604
#define IDC_RUN_START_DELAY 2605
#define IDC_RUN_START_DELAY_SECS 2606
#define IDC_RUN_INTERVAL 2607
#define IDC_RUN_INTERVAL_MSEC 2608

// Output page.
#define IDC_OUT_DEVICE_LIST 1883
#define IDC_OUT_SOUND_LIST 1884
#define IDC_OUT_DEVICE 1885
#define IDC_OUT_SOUND 1886
#define IDC_OUT_DEVICE_NOTE 1887
#define IDC_OUT_SOUND_NOTE 1888
#define IDC_OUT_CHANNELS 1950
#define IDC_OUT_BITS 1951
#define IDC_OUT_RATE 1952
#define IDC_OUT_UNITS 1953
#define IDC_OUT_LEVEL1 1979
#define IDC_OUT_LEVEL2 1980
#define IDC_OUT_LEVEL1_LABEL 1981
#define IDC_OUT_LEVEL2_LABEL 1982
