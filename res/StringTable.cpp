#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "res/resource.h"

void RegisterStringTable()
{
    RegisterString(AFX_IDS_APP_TITLE, "KDR-5200");
    // The main frame's title (LoadFrame takes it up to the first line break).
    RegisterString(IDR_MAINFRAME, "QLM436 - Quenrith Analyzer");
}
