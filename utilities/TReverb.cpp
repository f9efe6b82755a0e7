#include "utilities/TReverb.h"

BOOL TReverb::CreateReverbWindow(DWORD style, const RECT& rect, CWnd* frame)
{
    return CreateUtilityWindow("Reverberation Time (RT-60)", style, rect, frame);
}
