// What the processing-settings sheet asks of each of its pages: fill, defaults, validate and
// store into the working records, and copy one channel's row to others. Leaving a page
// validates it unless the sheet is still setting itself up.
#pragma once

#include "platform/ui/PropertyPage.h"

class CSheetPage : public CPropertyPage {
public:
    explicit CSheetPage(UINT templateId) : CPropertyPage(templateId) {}

    // Set by the sheet before the page is created.
    WORD m_OpMode = 0;                     // 0 Real Time, 1 Recorder, 2 Post Process
    const BYTE* m_SheetInitialising = nullptr;
    // The device-input page's channel boxes, when the sheet offers that page: a channel row is
    // then open for editing only while its device channel is enabled (or files are processed).
    CWnd* m_ChannelEnable[8] = {};

    virtual void Fill() = 0;
    virtual void Defaults() = 0;
    virtual bool ValidateAndStore() = 0;
    virtual void Copy(int source, const BYTE destinations[8]) = 0;

    BOOL OnSetActive() override;
    BOOL OnKillActive() override;

    // Enables or disables each channel row by the boxes above; the base has no rows.
    virtual void ApplyChannelEnables() {}

protected:
    bool ChannelRowEnabled(int row) const;
    bool SheetInitialising() const { return m_SheetInitialising && *m_SheetInitialising; }
    // Whether the page's Copy Channels... button of the sheet is offered.
    virtual bool OffersCopy() const { return true; }
};
