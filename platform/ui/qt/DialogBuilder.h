// Turns a dialog template into Qt widgets and layouts inside a host widget, and wraps every
// control the code can address in a CWnd of its class. Layer use (CDialog, CPropertyPage).
#pragma once

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Wnd.h"

#include <memory>
#include <vector>

class QWidget;

struct BuiltControls {
    std::vector<std::unique_ptr<CWnd>> wrappers; // one per control with an id, in tab order
    UINT defaultId = 0;                          // the template's default push button, or 0
};

// Builds the controls as children of `host` (group boxes are drawn behind their controls, which
// stay the host's children as on Windows) and gives `host` the layout.
BuiltControls BuildTemplateControls(const DialogTemplate& t, QWidget* host);
