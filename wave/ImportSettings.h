// The import options, remembered from one File > Import to the next for the life of the
// process (never written to a file). The options dialog edits the record; the import process
// works on a copy. A plain fixed-size record, zeroed whole so byte comparison is meaningful.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <cstdint>
#include <string>

struct ImportSettings {
    // Source types, in the order of the options dialog's list.
    enum SourceType : WORD {
        kAsciiInteger = 0,
        kAsciiFloat = 1,
        kBinary8 = 2,
        kBinary16 = 3,
        kBinary32 = 4,
        kBinaryFloat = 5,
    };
    // Scaling modes.
    enum Scaling : WORD { kTruncate = 0, kRescale = 1, kDefineUnits = 2 };
    static constexpr DWORD kMaxColumn = 16;

    WORD Format;           // source type
    DWORD SampleRate;      // Hz, of the new wave file
    WORD BytesPerSample;   // 2 or 3: precision of the new wave file
    BYTE HasHeader;        // the source begins with a header to skip
    std::int32_t HeaderSize; // lines (text types) or bytes (binary types)
    DWORD Column;          // tab-separated field, 1..16 (text types)
    WORD ScalingMode;
    float DataValue;       // "A data value of" ...
    float EqualsValue;     // ... "equals" this many units
    WORD Units;            // RefUnits code of the calibration written
    char LabelLinear[60];
    char LabelLog[60];

    ImportSettings() { SetStartValues(); }

    void SetStartValues()
    {
        ZeroRecord(*this);
        Format = kAsciiInteger;
        SampleRate = 48000;
        BytesPerSample = 2;
        HasHeader = 0;
        HeaderSize = 1;
        Column = 1;
        ScalingMode = kRescale;
        DataValue = 1.0f;
        EqualsValue = 1.0f;
        Units = 0;
        CopyField(LabelLinear, "Volts");
        CopyField(LabelLog, "dBV");
    }

    bool IsText() const { return Format == kAsciiInteger || Format == kAsciiFloat; }
};

static_assert(sizeof(ImportSettings) == 156, "fixed-size record");

// The units the options dialog offers: list text, RefUnits code, and the two axis labels that
// choosing the entry fills in.
struct ImportUnitChoice {
    const char* Text;
    WORD Code;
    const char* LabelLinear;
    const char* LabelLog;
};
inline constexpr ImportUnitChoice kImportUnitChoices[] = {
    {"Volts", 0, "Volts", "dBV"},
    {"Millivolts", 1, "Millivolts", "dBmV"},
    {"Pascals (in air)", 8, "Pascals", "SPL (dB ref 20uPA)"},
    {"Pascals (in water)", 11, "Pascals", "SPL (dB ref 1uPA)"},
    {"Acceleration (G)", 3, "Acceleration (G)", "Acceleration (G dB)"},
    {"Custom", 4, "", ""},
};

// The options dialog's checks of the values it read, in its order: the message to show with
// the stop icon, or an empty string when the record is accepted.
inline std::string CheckImportSettings(const ImportSettings& s)
{
    if (s.SampleRate == 0)
        return "Sampling Rate must be greater than zero";
    if (s.HasHeader && s.HeaderSize < 0)
        return "Header Size cannot be less than zero";
    if (s.IsText() && (s.Column < 1 || s.Column > ImportSettings::kMaxColumn))
        return "Column Index value must be 1 to 16";
    return {};
}
