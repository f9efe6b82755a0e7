#include "numerics/CubicSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(CubicSplineKnown, NaturalSplineThroughThreePoints)
{
    const float pts[] = {0, 0, 1, 1, 2, 0};
    CubicSpline s;
    s.Init(pts, 3, CubicSpline::kCubic);
    EXPECT_FLOAT_EQ(s.Evaluate(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(s.Evaluate(0.5f), 0.6875f);
    EXPECT_FLOAT_EQ(s.Evaluate(1.5f), 0.6875f);
    s.Init(pts, 3, CubicSpline::kLinear);
    EXPECT_FLOAT_EQ(s.Evaluate(0.5f), 0.5f);
    EXPECT_FLOAT_EQ(s.Evaluate(-1.0f), -1.0f);
    EXPECT_FLOAT_EQ(s.Evaluate(3.0f), -1.0f);
    s.Free();
    EXPECT_EQ(s.Evaluate(0.5f), 0.0f);
}

TEST(CubicSplineKnown, ReproducesACubicWithZeroEndCurvatureClosely)
{
    // A natural spline through samples of a straight line is that line, everywhere.
    std::vector<float> pts;
    for (int i = 0; i < 10; ++i) {
        pts.push_back(static_cast<float>(i * i * 0.5));
        pts.push_back(static_cast<float>(3.0 * i * i * 0.5 - 2.0));
    }
    CubicSpline s;
    s.Init(pts.data(), 10, CubicSpline::kCubic);
    for (float x = 0; x < 40; x += 0.37f)
        ASSERT_NEAR(s.Evaluate(x), 3.0f * x - 2.0f, 2e-4f * (1 + x));
}

TEST(CubicSplineEdges, TwoPointsAndBadModesGiveZero)
{
    const float pts[] = {0, 1, 1, 2};
    CubicSpline s;
    s.Init(pts, 2, CubicSpline::kCubic);
    EXPECT_EQ(s.Evaluate(0.5f), 0.0f);
    s.Init(pts, 2, CubicSpline::kLinear);
    EXPECT_EQ(s.Evaluate(0.5f), 0.0f);
    const float three[] = {0, 0, 1, 1, 2, 0};
    s.Init(three, 3, 7);
    EXPECT_EQ(s.Evaluate(0.5f), 0.0f);
    s.Init(nullptr, 3, CubicSpline::kCubic);
    EXPECT_EQ(s.Evaluate(0.5f), 0.0f);
}

TEST(CubicSplineEdges, EqualAbscissasGiveAFiniteValue)
{
    const float pts[] = {0, 0, 1, 5, 1, 7, 2, 0};
    CubicSpline s;
    s.Init(pts, 4, CubicSpline::kCubic);
    for (float x : {0.0f, 0.5f, 1.0f, 1.5f, 2.0f})
        EXPECT_TRUE(std::isfinite(s.Evaluate(x))) << x;
    s.Init(pts, 4, CubicSpline::kLinear);
    EXPECT_TRUE(std::isfinite(s.Evaluate(1.0f)));
}

TEST(CubicSplineEdges, AnIntervalTooWideForFloatsFallsBackToTheLineNotToNan)
{
    // The second interval's h * h overflows a float; the first stays an ordinary spline,
    // which over an almost straight table is the line y = x / 1000.
    const float pts[] = {0, 0, 1000, 1, 1e20f, 2};
    CubicSpline s;
    s.Init(pts, 3, CubicSpline::kCubic);
    EXPECT_NEAR(s.Evaluate(500.0f), 0.5f, 1e-4f);
    for (float x : {1000.0f, 2000.0f, 5e19f, 1e20f}) {
        const float v = s.Evaluate(x);
        EXPECT_TRUE(v >= 1.0f && v <= 2.0f) << x << " gives " << v;
    }
    EXPECT_NEAR(s.Evaluate(5e19f), 1.5f, 1e-3f);
    // Values at the ends of the float range: the line between them, still finite.
    const float wide[] = {0, -3e38f, 1, 3e38f, 2, -3e38f};
    s.Init(wide, 3, CubicSpline::kCubic);
    EXPECT_TRUE(std::isfinite(s.Evaluate(0.5f)));
    s.Init(wide, 3, CubicSpline::kLinear);
    EXPECT_NEAR(s.Evaluate(0.5f), 0.0f, 1e33f);
}
