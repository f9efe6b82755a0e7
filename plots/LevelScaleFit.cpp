#include "plots/LevelScaleFit.h"

LevelScale FitLevelScale(WORD ampScaleType, LevelScale now, double logBottom, double minSpan)
{
    LevelScale fit = now;
    switch (ampScaleType) {
    case 0:
        if (!(fit.top > 0.0f))
            fit.top = 1.0f;
        break;
    case 1:
        if (!(fit.range >= minSpan))
            fit.range = 45.0;
        break;
    case 2:
        if (!(fit.top > 0.0f))
            fit.top = 10.0f;
        if (!(fit.range > 0.0) || !(fit.range < fit.top))
            fit.range = logBottom;
        break;
    default: break;
    }
    return fit;
}
