// A tool-strip button of the spectrogram and 3-D surface windows with the two states their
// commands look at: pressed (select mode, playing) and disabled (nothing selected). The
// shared bitmap button of the tool windows lives with the frame, out of the plots' reach, so
// this one shows a short caption and its tip.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/ui/GdiObjects.h" // Controls.h needs CFont complete
#include "platform/ui/Controls.h"

#include <string>

class TStripButton : public CButton {
public:
    // Created visible at a 1 x 1 rectangle; the owner places it.
    TStripButton(CWnd* parent, UINT id, const char* caption, const char* tip);

    void Press();
    void Release();
    // A disabled button still sends its command; the handlers ignore it.
    void Disable();
    void Enable();
    bool IsPressed() const { return m_pressed; }
    bool IsDisabled() const { return m_disabled; }
    const std::string& TipText() const { return m_tip; }

private:
    bool m_pressed = false;
    bool m_disabled = false;
    std::string m_tip;
};
