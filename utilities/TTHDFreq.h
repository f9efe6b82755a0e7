// The THD+N-versus-frequency window: an MDI child that the frame owns and deletes.
//
// Provisional: the window opens with its title, keeps its placement and closes through the
// frame (WM_UTILITY_CLOSING), but runs no test and holds no results yet, so there is never
// anything to save and QuerySave always lets it close.
#pragma once

#include "utilities/TUtilityPlot.h"

class TTHDFreq : public TUtilityPlot {
public:
    TTHDFreq() = default;

    BOOL Create(DWORD style, const RECT& rect, CWnd* frame);

protected:
    std::string PaneCaption() const override { return "No THD+N versus frequency test has been run."; }

private:
    using TPlotBase::Create;
};
