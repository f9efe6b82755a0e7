// A channel's calibration: how raw samples become physical values and how levels are
// labelled. The record is 634 bytes without gaps; this byte layout is also what a wave file's
// calibration block holds, so it is packed and (de)serialised field by field, little-endian.
//
// Members of a packed record may sit on odd addresses: read and assign them directly; never
// bind a pointer or reference to a single member (copy it to a local instead).
#pragma once

#include "platform/core/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct ChannelCalibration {
    static constexpr std::size_t kSize = 634;

    DWORD IsEnabled;                  // calibration in use
    float RefLevel;                   // reference level, in the reference units (dB for dB units)
    DWORD RefType;                    // 0 peak, 1 rms, 2 peak to peak
    DWORD RefUnits;                   // level unit code (LevelUnit)
    char LabelLinear[60];             // axis label of linear amplitude
    char LabelLog[60];                // axis label of log amplitude
    DWORD LabelType;
    float PctFullScale;               // derived: reference signal relative to full scale
    float CalRatio;                   // derived: physical value at full scale
    DWORD ConversionType;             // integration choice for acceleration, 0 none
    DWORD IntegrationType;            // derived: 0 none, 1 single, 2 double
    char ChannelName[40];
    WORD CalCreateMode;               // 0 direct, 1 sensitivity, 2 measurement, 3 percent of FS
    float TransducerSensitivityVolts; // volts per unit
    float MeasuredInputVoltage;       // volts measured for the reference signal
    char Filename[256];               // calibration name, no folder, no extension
    float DTGain;                     // device input gain; full scale is 10 V / DTGain
    WORD DTCalVersion;                // 0 marks a record from before versioning
    float RefOffset;                  // added to calibrated values of units 15 and 16
    BYTE Reserved[162];

    // The defaults of a channel without a calibration of its own: volts, gain 1.
    ChannelCalibration() { SetDefaults(0); }
    explicit ChannelCalibration(int channel) { SetDefaults(channel); }

    void Clear() { std::memset(static_cast<void*>(this), 0, sizeof *this); }
    void SetDefaults(int channel);

    // The wave file's byte image of the record (little-endian, the offsets above).
    void WriteToBytes(std::span<std::uint8_t, kSize> out) const;
    // Reads a byte image; false (record untouched) never happens for a full-size span, but
    // text fields are forced to stay terminated whatever the bytes hold.
    bool ReadFromBytes(std::span<const std::uint8_t, kSize> in);
};
#pragma pack(pop)

static_assert(sizeof(ChannelCalibration) == 634, "calibration record layout");
static_assert(offsetof(ChannelCalibration, LabelLinear) == 16);
static_assert(offsetof(ChannelCalibration, LabelLog) == 76);
static_assert(offsetof(ChannelCalibration, LabelType) == 136);
static_assert(offsetof(ChannelCalibration, CalRatio) == 144);
static_assert(offsetof(ChannelCalibration, ChannelName) == 156);
static_assert(offsetof(ChannelCalibration, CalCreateMode) == 196);
static_assert(offsetof(ChannelCalibration, TransducerSensitivityVolts) == 198);
static_assert(offsetof(ChannelCalibration, Filename) == 206);
static_assert(offsetof(ChannelCalibration, DTGain) == 462);
static_assert(offsetof(ChannelCalibration, DTCalVersion) == 466);
static_assert(offsetof(ChannelCalibration, RefOffset) == 468);
static_assert(offsetof(ChannelCalibration, Reserved) == 472);

// Level unit codes of RefUnits.
enum LevelUnit : DWORD {
    kUnitVolts = 0,
    kUnitMillivolts = 1,
    kUnitSplAir = 2,
    kUnitAcceleration = 3,
    kUnitCustom = 4,
    kUnitDbu = 7,
    kUnitPascalsAir = 8,
    kUnitPsi = 9,
    kUnitSplWater = 10,
    kUnitPascalsWater = 11,
    kUnitForce = 12,
    kUnitRpm = 13,
    kUnitVelocity = 14,
    kUnitProximity = 15,
    kUnitTemperature = 16,
};

// A level with no value.
constexpr float kNoLevelDb = -999.9f;

// Factor from a reference of RefType (0 peak, 1 rms, 2 peak to peak) to rms.
double RefTypeToRms(DWORD refType);

// Completes a record in place: CalRatio, PctFullScale, MeasuredInputVoltage and the
// integration type from the user's inputs.
void ComputeCalibrationFactors(ChannelCalibration& record);

// Whether levels can be drawn from a factor from full scale to calibrated units: a positive
// number from 1e-15 to 1e15. Spectra hold squared values in single precision, so a larger
// factor drives levels to infinity and a smaller one (or zero) to no level at all.
bool CalibrationFactorUsable(float factor);

// The inputs (field names) of the factor a record gives once completed, when that factor is one
// no level can be drawn from; empty when it is usable.
std::vector<const char*> UnusableFactorInputs(const ChannelCalibration& record);

// The file of the named calibration: <calFolder>/<name>.cal, or, where there is none, the file
// of the folder whose name differs from that only in letter case (files copied from Windows,
// where names were one whatever their case).
std::string CalibrationFilePath(const char* calFolder, const char* name);

// Reads a named calibration. "Volts", "Millivolts" and "RPM" are built in and never read from
// disk; any other name is the file <calFolder>/<name>.cal. With showError a missing file is
// reported and disables the record's calibration. A refused file's reason (not there, or the
// value no calibration can use) goes to *reason when given, shown or not.
bool ReadCalibrationFile(const char* name, ChannelCalibration* record, bool showError,
                         const char* calFolder, std::string* reason = nullptr);

// Writes section "Calibration" of the file at path; nothing for a null path or a record in
// direct mode (CalCreateMode 0). Otherwise sets the record's IsEnabled and returns whether
// every key was written.
bool WriteCalibrationFile(const char* path, ChannelCalibration* record);

// True when the record needs no file (direct mode) or agrees with its file in calFolder.
// opMode is the frame's operating mode (DTGain is compared only in Recorder and Post Process).
bool LoadCalibration(const ChannelCalibration& record, const char* calFolder, WORD opMode);

// Equality of the user-visible calibration (numbers to the decimals that matter).
bool CalibrationEquals(const ChannelCalibration& a, const ChannelCalibration& b, WORD opMode);

// Levels in dB for the record's unit; -999.9 for a value that is exactly 0 after scaling.
float ConvertToDecibels(const ChannelCalibration& record, float value);
// kind 0: in air (re 20 uPa); kind 1: in water (re 1 uPa); other kinds give 0.
float DecibelsToPressure(int kind, float dB);
float PressureToDecibels(int kind, float pascals);
float DecibelsToPsi(float dB);
float PsiToDecibels(float psi);
float DbuToVolts(float dB);
float VoltsToDbu(float volts);
