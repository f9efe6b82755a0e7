// The common routines that ask a device context or a bitmap. Inline here, beside the other
// common routines, so that only code that draws (and so links the window layer) uses them.
#pragma once

#include "app/settings/CommonRoutines.h"
#include "platform/ui/GdiDC.h"
#include "platform/ui/GdiObjects.h"

// True when the device shows colour: at least 2 bits per pixel, 3 colours or 2 planes.
inline bool IsColorDevice(CDC* dc)
{
    if (dc == nullptr)
        return false;
    return IsColorDevice(dc->GetDeviceCaps(BITSPIXEL), dc->GetDeviceCaps(NUMCOLORS), dc->GetDeviceCaps(PLANES));
}

// The bitmap's width or height from its BITMAP description; 0 for a null or empty bitmap.
inline int GetBitmapWidth(const CBitmap* bitmap)
{
    BITMAP bm{};
    return (bitmap != nullptr && bitmap->GetBitmap(&bm) != 0) ? static_cast<int>(bm.bmWidth) : 0;
}

inline int GetBitmapHeight(const CBitmap* bitmap)
{
    BITMAP bm{};
    return (bitmap != nullptr && bitmap->GetBitmap(&bm) != 0) ? static_cast<int>(bm.bmHeight) : 0;
}
