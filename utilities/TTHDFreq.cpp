#include "utilities/TTHDFreq.h"

BOOL TTHDFreq::Create(DWORD style, const RECT& rect, CWnd* frame)
{
    return CreateUtilityWindow("THD+N vs Frequency", style, rect, frame);
}
