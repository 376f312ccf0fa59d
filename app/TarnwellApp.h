// The application: start-up, the settings file beside the executable, the main window.
#pragma once

#include "framework/WinApp.h"

class CTarnwellApp : public CWinAppEx {
public:
    CTarnwellApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CTarnwellApp theApp;
