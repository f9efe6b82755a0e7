// The import options, remembered from one File > Import to the next for the life of the
// process (never written to a file). The options dialog edits the record; the import process
// works on a copy. A plain fixed-size record, zeroed whole so byte comparison is meaningful.
#pragma once

#include "app/settings/RecordBytes.h"
#include "platform/core/WinTypes.h"

#include <cstdint>

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
