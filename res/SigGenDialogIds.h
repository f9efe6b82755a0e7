// Ids of the signal generator's parameter dialogs and of their controls.
#pragma once

#define IDD_SIGGEN_NOISE_BURST 3101
#define IDD_SIGGEN_TONES 3102
#define IDD_SIGGEN_TONE_BURST 3103
#define IDD_SIGGEN_IMD_TONES 3104
#define IDD_SIGGEN_FREQ_SWEEP 3105
#define IDD_SIGGEN_LEVEL_SWEEP 3106
#define IDD_SIGGEN_SAWTOOTH 3107
#define IDD_SIGGEN_TRIANGULAR 3108
#define IDD_SIGGEN_PULSE 3109
#define IDD_SIGGEN_SQUARE 3110
#define IDD_SIGGEN_USER_WAVE 3111
#define IDD_SIGGEN_DTMF 3112
#define IDD_SIGGEN_FREQ_STEP 3113
#define IDD_SIGGEN_SAVE_LENGTH 3114

// Every parameter dialog's "Help" button, which does nothing.
#define IDC_SIGGEN_HELP 1001

// Noise burst.
#define IDC_NOISE_WHITE 1888
#define IDC_NOISE_PINK 1889
#define IDC_BURST_MSEC 1890
#define IDC_CYCLE_MSEC 1891
// Tone burst.
#define IDC_TONE_BURST_FREQ 1893
// Multiple tones, row r (0..9): enabled, frequency, relative level, phase.
constexpr int kToneEnableFirstId = 1899;
constexpr int kToneFreqFirstId = 1909;
constexpr int kToneLevelFirstId = 1919;
constexpr int kTonePhaseFirstId = 1929;
// IMD tones.
#define IDC_IMD_SET1 1930
#define IDC_IMD_SET2 1931
#define IDC_IMD_CUSTOM 1932
#define IDC_IMD_LOW 1933
#define IDC_IMD_HIGH 1934
#define IDC_IMD_RATIO 1935
// Frequency sweep and step.
#define IDC_SWEEP_START 1958
#define IDC_SWEEP_STOP 1959
#define IDC_SWEEP_LINEAR 1960
#define IDC_SWEEP_LOG 1961
#define IDC_SWEEP_JUMP_BACK 1962
#define IDC_SWEEP_SWEEP_BACK 1963
#define IDC_SWEEP_SINGLE 1964
#define IDC_SWEEP_MSEC 1956
#define IDC_STEP_OCTAVE 1966
#define IDC_STEP_LINEAR 1967
#define IDC_STEP_SINGLE 1968
#define IDC_STEP_STEP_BACK 1969
#define IDC_STEP_DWELL 1970
#define IDC_STEP_SIZE 1971
#define IDC_STEP_FRACTION 1972
// Level sweep.
#define IDC_LEVEL_START 1953
#define IDC_LEVEL_STOP 1954
#define IDC_LEVEL_FREQ 1955
// Shaped waveforms.
#define IDC_SAW_FREQ 1895
#define IDC_SAW_POSITIVE 1896
#define IDC_SAW_NEGATIVE 1897
#define IDC_TRIANGLE_FREQ 1937
#define IDC_SQUARE_FREQ 1939
#define IDC_SQUARE_DUTY 1940
// Pulse.
#define IDC_PULSE_WIDTH 1942
#define IDC_PULSE_INTERVAL 1943
#define IDC_PULSE_SINGLE 1944
// User wave.
#define IDC_USER_PICK 1946
#define IDC_USER_PATH 1947
#define IDC_USER_REPEAT 1978
// DTMF.
#define IDC_DTMF_KEYS 1973
#define IDC_DTMF_WIDTH 1977
#define IDC_DTMF_SPACING 1943
#define IDC_DTMF_TWIST 1944
#define IDC_DTMF_REPEAT 1975
// Signal length.
#define IDC_SAVE_DEFAULT_LENGTH 2098
#define IDC_SAVE_MULTIPLIER 2099
#define IDC_SAVE_TOTAL_LENGTH 2100
