#include "platform/core/Resources.h"
#include "res/ResourceGroups.h"
#include "res/resource.h"

void RegisterStringTable()
{
    RegisterString(AFX_IDS_APP_TITLE, "KDR-5200");
}
