// Ids of the dialogs of the wave-file commands, editing, import, export, filtering and the
// segment analyses, and of their controls. Control ids are unique within their dialog only.
#pragma once

// Dialog templates.
#define IDD_FILE_EXPORT 161
#define IDD_FILE_IMPORT 162
#define IDD_FILE_PROCESS_STATUS 163 // the import and export progress dialogs
#define IDD_GAIN_ADJUST 171
#define IDD_DC_OFFSET 172
#define IDD_FILTER 173
#define IDD_ASK_ZERO_PAD 178
#define IDD_DYNAMIC_DC_OFFSET 180
#define IDD_SET_FILE_POSITION 181
#define IDD_FILE_SELECT 183

// Shared by several of them.
#define IDC_HELP_BUTTON 1001
#define IDC_DEFAULTS_BUTTON 1002
#define IDC_PROCESS_STATUS 2005   // status text of the progress dialogs
#define IDC_PROCESS_PROGRESS 2006 // progress bar (also the file-group dialog's)

// File Operations (file groups).
#define IDC_GROUP_SAVE 2162
#define IDC_GROUP_OPEN 2163
#define IDC_GROUP_CLOSE 2164
#define IDC_GROUP_TEST_NAME 2179
#define IDC_GROUP_COMMENTS 2181
#define IDC_GROUP_TECHNICIAN 2182
#define IDC_GROUP_DATE 2183
#define IDC_GROUP_FILENAME 2184
#define IDC_GROUP_COMPOSITE 2193

// Gain, DC offset, dynamic DC offset.
#define IDC_GAIN_DB 2076
#define IDC_DC_OFFSET_VALUE 2077
#define IDC_DC_OFFSET_PROMPT 2078
#define IDC_DYNAMIC_CUTOFF 2170
#define IDC_DYNAMIC_INTERVAL 2171

// Set File Position.
#define IDC_POSITION_BY_SECONDS 2172
#define IDC_POSITION_BY_SAMPLES 2173
#define IDC_POSITION_SECONDS 2174
#define IDC_POSITION_SAMPLES 2175
#define IDC_POSITION_ALL_FILES 2176

// File Import Options.
#define IDC_IMPORT_TYPE 2007
#define IDC_IMPORT_RATE 2008
#define IDC_IMPORT_PRECISION 2009
#define IDC_IMPORT_NO_HEADER 2010
#define IDC_IMPORT_HAS_HEADER 2011
#define IDC_IMPORT_HEADER_SIZE 2012
#define IDC_IMPORT_HEADER_UNIT 2013
#define IDC_IMPORT_RESCALE 2014
#define IDC_IMPORT_TRUNCATE 2015
#define IDC_IMPORT_DEFINE 2016
#define IDC_IMPORT_DATA_VALUE 2017
#define IDC_IMPORT_EQUALS 2018
#define IDC_IMPORT_UNITS 2019
#define IDC_IMPORT_LABEL_LINEAR 2020
#define IDC_IMPORT_LABEL_LOG 2021
#define IDC_IMPORT_COLUMN 2022

// File Export Options.
#define IDC_EXPORT_TYPE 2004
#define IDC_EXPORT_CHANNEL 2005

// Digital Filtering (FIR).
#define IDC_FILTER_LOWPASS 2079
#define IDC_FILTER_HIGHPASS 2080
#define IDC_FILTER_BANDPASS 2081
#define IDC_FILTER_NOTCH 2082
#define IDC_FILTER_CUSTOM 2083
#define IDC_FILTER_LOW_CUTOFF 2084
#define IDC_FILTER_HIGH_CUTOFF 2085
#define IDC_FILTER_BAND_CENTER 2086
#define IDC_FILTER_BAND_WIDTH 2087
#define IDC_FILTER_NOTCH_CENTER 2088
#define IDC_FILTER_NOTCH_WIDTH 2089
#define IDC_FILTER_RESPONSE_FILE 2090
#define IDC_FILTER_SELECT_FILE 2091
#define IDC_FILTER_EDIT_FILE 2092
#define IDC_FILTER_TAPS 2094
#define IDC_FILTER_GAIN 2095

// Zero Padding Option.
#define IDC_ZERO_PAD 2164
#define IDC_INCLUDE_SAMPLES 2166
