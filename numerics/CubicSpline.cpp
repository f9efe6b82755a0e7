#include "numerics/CubicSpline.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

namespace {

// The straight line between two points, in double so that neither a width nor a rise beyond
// the float range overflows on the way; held within the float range.
float LineBetween(float xl, float yl, float xh, float yh, float x)
{
    const double d = static_cast<double>(xh) - xl;
    const double y = d == 0.0 ? yl : yl + (static_cast<double>(x) - xl) * (static_cast<double>(yh) - yl) / d;
    return static_cast<float>(std::clamp(y, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

} // namespace

CubicSpline& CubicSpline::Init(const float* pts, UINT n, BYTE m)
{
    secondDerivatives.reset();
    points = pts;
    count = n;
    mode = m;
    if (points && count >= 3) {
        secondDerivatives.reset(new (std::nothrow) float[count]());
        if (secondDerivatives)
            ComputeSecondDerivatives();
    }
    return *this;
}

void CubicSpline::Free()
{
    secondDerivatives.reset();
}

void CubicSpline::ComputeSecondDerivatives()
{
    std::unique_ptr<float[]> u(new (std::nothrow) float[count - 1]());
    if (!u)
        return;
    float* y2 = secondDerivatives.get();
    auto X = [this](UINT i) { return points[2 * i]; };
    auto Y = [this](UINT i) { return points[2 * i + 1]; };
    y2[0] = u[0] = 0.0f;
    for (UINT i = 1; i + 1 < count; ++i) {
        const float h1 = X(i) - X(i - 1);
        const float h2 = X(i + 1) - X(i);
        const float h = X(i + 1) - X(i - 1);
        if (h1 <= 0.0f || h2 <= 0.0f || h <= 0.0f)
            break;
        const float sig = h1 / h;
        const float p = sig * y2[i - 1] + 2.0f;
        y2[i] = (sig - 1.0f) / p;
        u[i] = (Y(i + 1) - Y(i)) / h2 - (Y(i) - Y(i - 1)) / h1;
        u[i] = (6.0f * u[i] / h - sig * u[i - 1]) / p;
    }
    y2[count - 1] = 0.0f;
    for (UINT k = count - 1; k-- > 0;)
        y2[k] = y2[k] * y2[k + 1] + u[k];
}

float CubicSpline::Evaluate(float x) const
{
    if (!secondDerivatives || !points || count <= 1)
        return 0.0f;
    UINT lo = 0, hi = count - 1;
    while (hi - lo >= 2) {
        const UINT k = (hi + lo) / 2;
        if (x < points[2 * k])
            hi = k;
        else
            lo = k;
    }
    const float xl = points[2 * lo], xh = points[2 * hi];
    const float yl = points[2 * lo + 1], yh = points[2 * hi + 1];
    if (mode == kCubic) {
        const float h = xh - xl;
        // Equal abscissas carry no slope: the left point's value stands.
        if (h == 0.0f)
            return yl;
        const float a = (xh - x) / h;
        const float b = (x - xl) / h;
        const float* y2 = secondDerivatives.get();
        const float y = a * yl + b * yh + ((a * a * a - a) * y2[lo] + (b * b * b - b) * y2[hi]) * (h * h) / 6.0f;
        // An interval or curvature beyond the float range (a table from 0 Hz to 1e20 Hz)
        // overflows into infinity or NaN: the line between the two points stands instead.
        return std::isfinite(y) ? y : LineBetween(xl, yl, xh, yh, x);
    }
    if (mode == kLinear) {
        const float d = xh - xl;
        if (d == 0.0f)
            return yl;
        const float y = yl + (x - xl) * (yh - yl) / d;
        return std::isfinite(y) ? y : LineBetween(xl, yl, xh, yh, x);
    }
    return 0.0f;
}
