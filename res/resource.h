// Resource ids shared by the program's code and res/.
#pragma once

// The application title (caption of the main window and of every message box).
#define AFX_IDS_APP_TITLE 57344
