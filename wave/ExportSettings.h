// The export options, remembered from one File > Export to the next for the life of the
// process (never written to a file). The export process works on a copy.
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct ExportSettings {
    // Output types, in the order of the options dialog's list (the import's types).
    enum OutputType : WORD {
        kAsciiInteger = 0,
        kAsciiFloat = 1,
        kBinary8 = 2,
        kBinary16 = 3,
        kBinary32 = 4,
        kBinaryFloat = 5,
    };

    WORD Channel;      // input channel whose wave file is exported
    WORD ChannelCount; // channels per frame read from the file; always 1
    WORD Format;       // output type

    ExportSettings() { SetStartValues(); }

    void SetStartValues()
    {
        ZeroRecord(*this);
        Channel = 0;
        ChannelCount = 1;
        Format = kAsciiInteger;
    }

    bool IsText() const { return Format == kAsciiInteger || Format == kAsciiFloat; }
};

static_assert(sizeof(ExportSettings) == 6, "fixed-size record");
