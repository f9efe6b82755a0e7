// What the "Spectrogram" and "3-D Surface" pages share: the frequency span (full or custom),
// the amplitude span, the tool strip and the update interval of their near-twin records.
#pragma once

#include "plots/CPlotOptionsPage.h"

class CPlotOptionsHistory : public CPlotOptionsPage {
public:
    using CPlotOptionsPage::CPlotOptionsPage;

protected:
    struct Fields {
        BYTE* ShowToolbar;
        BYTE* IntervalFlag;
        float* IntervalSecs;
        float* PlotTop;
        float* PlotRange;
        BYTE* UseFullSpan;
        float* StartFreq;
        float* StopFreq;
    };
    virtual bool GetFields(Fields& fields) = 0; // false without a record

    struct Amplitude {
        float maximum, minimum, step;
        int mode;                        // 0 additive, 1 multiplicative
        int topDecimals, rangeDecimals;
        const char* topFormat;
        const char* rangeFormat;
    };
    // Fills the shared controls; the page has set its own radios first.
    void LoadShared(const Amplitude& amplitude);
    // Stores the shared fields after the page's own ones; false at the first refused field.
    bool StoreShared();
    void DefaultsShared();
    void ApplySpanState();
    DECLARE_MESSAGE_MAP()
};
