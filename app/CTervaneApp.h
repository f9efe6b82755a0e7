// The application object: creates the main frame and shows it. No members of its own.
#pragma once

#include "platform/ui/WinApp.h"

class CTervaneApp : public CWinApp {
public:
    CTervaneApp() = default;
    BOOL InitInstance() override;
    int ExitInstance() override;

    DECLARE_MESSAGE_MAP()
};
