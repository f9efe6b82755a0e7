// Ids of the Leq, sound power and data-logging dialogs and their controls.
#pragma once

#define IDD_LEQ_OPTIONS 3250
#define IDD_SOUNDPOWER_OPTIONS 3251
#define IDD_LOG_FILE_OPTIONS 3252
#define IDD_LOG_CHANNEL_OPTIONS 3253

// Shared by the three option dialogs.
#define IDC_UTIL_HELP 1001
#define IDC_UTIL_DEFAULTS 1002
#define IDC_UTIL_CHANNEL 2117
#define IDC_UTIL_COPY_ALL 2118

// Leq options: averaging combos 2100..2104 (LeqT, Leq, Lsel, Lmax/Lmin, L10/L50/L90), weighting
// combos 2105..2109 (same groups), Lpk weighting 2114.
#define IDC_LEQ_AVG_FIRST 2100
#define IDC_LEQ_WEIGHT_FIRST 2105
#define IDC_LEQ_REFTIME 2110
#define IDC_LEQ_INTERVALS 2111
#define IDC_LEQ_ATSTOP 2112
#define IDC_LEQ_INTERVAL 2113
#define IDC_LEQ_LPK_WEIGHT 2114

// Sound power options.
#define IDC_SP_ENVIRONMENT 2167
#define IDC_SP_BACKGROUND 2168
#define IDC_SP_AREA 2169

// Data logging: file options page.
#define IDC_LOG_ENABLE 2029
#define IDC_LOG_FORMAT 2039
#define IDC_LOG_OVERWRITE 2030
#define IDC_LOG_APPEND 2031
#define IDC_LOG_TIMESTAMP 2032
#define IDC_LOG_HEADER 2033
#define IDC_LOG_VIEWER 2037
// Data logging: channel page.
#define IDC_LOGCH_ENABLE 2029
#define IDC_LOGCH_ITEMS 2028
#define IDC_LOGCH_ASOFTEN 2033
#define IDC_LOGCH_INTERVALS 2034
#define IDC_LOGCH_INTERVAL 2035
#define IDC_LOGCH_VIEW_FILE 2036
#define IDC_LOGCH_VIEW_FOLDER 2037
#define IDC_LOGCH_COPY_ALL 2038
