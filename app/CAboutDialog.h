// The About box of the Help menu, which is also the splash screen shown while the frame is
// created: the logo, the product and version text and an OK button that appears after 100 ms.
// In splash mode the dialog closes itself 1.5 s after that. User-interface thread only.
#pragma once

#include "platform/ui/Dialog.h"

#include <memory>

class CToolBtn;

class CAboutDialog : public CDialog {
public:
    static constexpr UINT IDD = 100;
    static constexpr UINT_PTR kTimerShowOk = 212;
    static constexpr UINT_PTR kTimerSplash = 211;

    CAboutDialog(CWnd* pParent, bool splash);
    ~CAboutDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnTimer(UINT_PTR nIDEvent);

    bool IsSplash() const { return splash_; }
    CToolBtn* Logo() const { return logo_.get(); }
    // The text of the version static.
    static const char* VersionText();

protected:
    DECLARE_MESSAGE_MAP()

private:
    bool splash_;
    std::unique_ptr<CToolBtn> logo_;
};
