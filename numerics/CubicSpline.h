// Natural cubic or piecewise-linear interpolation over a caller-owned table of (x, y) float
// pairs with strictly increasing x. The caller keeps the table alive while the spline is in
// use; the spline owns only its second derivatives.
#pragma once

#include "platform/core/WinTypes.h"

#include <memory>

class CubicSpline {
public:
    enum : BYTE { kCubic = 0, kLinear = 1 };

    CubicSpline() = default;
    CubicSpline(const CubicSpline&) = delete;
    CubicSpline& operator=(const CubicSpline&) = delete;
    ~CubicSpline() = default;

    // points holds count pairs (x0, y0, x1, y1, ...).
    CubicSpline& Init(const float* points, UINT count, BYTE mode);
    // Finite for finite points and x: where the cubic overflows, the straight line between the
    // interval's points.
    float Evaluate(float x) const;
    void Free();

private:
    void ComputeSecondDerivatives();

    UINT count = 0;
    const float* points = nullptr;
    std::unique_ptr<float[]> secondDerivatives;
    BYTE mode = kCubic;
};
