// Print options (section "PrintOpts").
#pragma once

#include "records/RecordBytes.h"
#include "platform/core/WinTypes.h"

struct PrintSettings {
    char Annotation1[80];
    char Annotation2[80];
    float MarginLeft; // inches
    float MarginRight;
    float MarginTop;
    float MarginBottom;
    BYTE EnableCommentBlock;
    char Comment[10][256]; // Comment1 .. Comment10

    PrintSettings()
    {
        ZeroRecord(*this);
        MarginLeft = MarginRight = MarginTop = MarginBottom = 1.0f;
    }
};
