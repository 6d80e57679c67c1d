#include "amp/tables/FlavorCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace brimtone {
namespace {

// A telling point of a stored curve and half a unit of its last written digit.
struct Row {
    double x;
    double y;
    double tolerance;
};

void expectRows(const CurveTable& curve, const std::vector<Row>& rows)
{
    for (const Row& r : rows)
        EXPECT_NEAR(curve.lookup(r.x), r.y, r.tolerance) << "at x = " << r.x;
}

// The stored end slopes are the differences of the end samples times points per unit.
void expectEndSlopes(const CurveTable& curve, double below, double above)
{
    const double* s = curve.samples();
    const int n = curve.count();
    EXPECT_EQ(curve.slopeBelow(), below);
    EXPECT_EQ(curve.slopeAbove(), above);
    EXPECT_NEAR((s[1] - s[0]) * curve.pointsPerUnit(), below, 1e-9 * std::fabs(below));
    EXPECT_NEAR((s[n - 1] - s[n - 2]) * curve.pointsPerUnit(), above, 1e-9 * std::fabs(above));
}

// Strictly monotone in the given direction (+1 increasing, −1 decreasing).
void expectMonotone(const CurveTable& curve, double direction)
{
    const double* s = curve.samples();
    for (int i = 1; i < curve.count(); ++i)
        ASSERT_GT(direction * (s[i] - s[i - 1]), 0.0) << "at sample " << i;
}

TEST(FlavorCurves, TransferCurve2000PassesItsTellingPoints)
{
    const CurveTable& t1 = tables::flavorTransfer2000Curve;
    EXPECT_EQ(t1.count(), 5001);
    EXPECT_EQ(t1.xMin(), -3.0);
    EXPECT_EQ(t1.xMax(), 3.0);
    const double e = 5e-9;
    expectRows(t1, {{-3, 4.34186376, e},       {-2, 4.05867471, e},     {-1, 3.7434253, 5e-8},  {-0.5, 3.5362028, 5e-8},
                    {-0.1, 3.1866694, 5e-8},   {-0.048, 3.01050974, e}, {-0.03, 2.82007415, e}, {-0.018, 2.08714505, e},
                    {-0.012, 1.39467141, e},   {-0.006, 0.69905307, e}, {0, 0.00341442, e},     {0.006, -0.69219404, e},
                    {0.012, -1.2298921, 5e-8}, {0.018, -1.33107342, e}, {0.03, -1.39888026, e}, {0.048, -1.44669436, e},
                    {0.1, -1.51419694, e},     {0.5, -1.69417975, e},   {1, -1.82052839, e},    {2, -2.02953991, e},
                    {3, -2.22743985, e}});
    expectEndSlopes(t1, -0.28030833333284966, -0.19850833333334703);
    expectMonotone(t1, -1.0);
}

TEST(FlavorCurves, TransferCurve2000HasItsSteepLinearMiddle)
{
    const CurveTable& t1 = tables::flavorTransfer2000Curve;
    for (double x = -0.015; x <= 0.006; x += 0.003) {
        const double slope = (t1.lookup(x + 0.0012) - t1.lookup(x)) / 0.0012;
        EXPECT_NEAR(slope, -116.0, 1.5) << "at x = " << x;
    }
    // Slow drifts outside.
    EXPECT_GT((t1.lookup(-1.0) - t1.lookup(-2.0)), -0.5);
    EXPECT_GT((t1.lookup(2.0) - t1.lookup(1.0)), -0.5);
}

TEST(FlavorCurves, ClipNetwork2000PassesItsTellingPoints)
{
    const CurveTable& t4 = tables::flavorClipNetwork2000Curve;
    EXPECT_EQ(t4.count(), 1601);
    expectRows(t4, {{0, 4.886897218e-10, 5e-20},
                    {1, 7.719193546e-10, 5e-20},
                    {2, 4.832405198e-09, 5e-19},
                    {2.5, 4.593936141e-07, 5e-17},
                    {3, 5.125108202e-05, 5e-15},
                    {3.25, 0.0005343719777, 5e-14},
                    {3.5, 0.00516139103, 5e-12},
                    {3.75, 0.0331250051, 5e-11},
                    {4, 0.1027086809, 5e-11},
                    {4.5, 0.3082977482, 5e-11},
                    {5, 0.5449759186, 5e-11},
                    {5.5, 0.7923022208, 5e-11},
                    {6, 1.04530924, 5e-9},
                    {6.5, 1.30162236, 5e-9},
                    {7, 1.560115102, 5e-10},
                    {7.5, 1.820137093, 5e-10},
                    {8, 2.081325613, 5e-10}});
    expectEndSlopes(t4, 3.3352280000006945e-11, 0.5231876000000746);
    expectMonotone(t4, 1.0);
}

TEST(FlavorCurves, ClipNetwork2000IsNearlyLinearAboveFour)
{
    const CurveTable& t4 = tables::flavorClipNetwork2000Curve;
    const double* s = t4.samples();
    // Convex (a slope that only grows) from the knee on.
    for (int i = 801; i < t4.count() - 1; ++i)
        ASSERT_GE(s[i + 1] - 2.0 * s[i] + s[i - 1], -1e-12) << "at sample " << i;
    const double slope = (t4.lookup(8.0) - t4.lookup(6.0)) / 2.0;
    EXPECT_NEAR(slope, 0.52, 0.01);
}

TEST(FlavorCurves, Device1994PassesItsTellingPoints)
{
    const CurveTable& u1 = tables::flavorDevice1994Curve;
    EXPECT_EQ(u1.count(), 5001);
    EXPECT_EQ(u1.xMin(), -16.0);
    EXPECT_EQ(u1.xMax(), 16.0);
    expectRows(u1, {{-16, -0.04545221105, 5e-12}, {-14, -0.04029500851, 5e-12}, {-12, -0.03502534476, 5e-12},
                    {-10, -0.02959820304, 5e-12}, {-8, -0.02393006133, 5e-12},  {-6, -0.01781593188, 5e-12},
                    {-4, -0.01081532043, 5e-12},  {-3, -0.006693349881, 5e-13}, {-2, -0.001836863703, 5e-13},
                    {-1, -8.64405749e-06, 5e-15}, {0, 2.066157687e-11, 5e-21},  {1, 8.607010242e-06, 5e-16},
                    {2, 1.722777041e-05, 5e-15},  {3, 4.659358245e-05, 5e-15},  {4, 0.001800896657, 5e-13},
                    {6, 0.008670974785, 5e-13},   {8, 0.01450911498, 5e-12},    {10, 0.01971454723, 5e-12},
                    {12, 0.02458202682, 5e-12},   {14, 0.02923694925, 5e-12},   {16, 0.03374578059, 5e-12}});
    expectEndSlopes(u1, 0.002566121875000396, 0.0022342921875010205);
    expectMonotone(u1, 1.0);
}

TEST(FlavorCurves, Device1994IsFlatBetweenItsKnees)
{
    // A small, nearly constant slope (a large resistance) between the two conducting
    // branches; it sets the stage's small-signal gain.
    const CurveTable& u1 = tables::flavorDevice1994Curve;
    for (double x = -0.75; x <= 1.75; x += 0.25) {
        const double slope = (u1.lookup(x + 0.0064) - u1.lookup(x)) / 0.0064;
        EXPECT_NEAR(slope, 8.6e-6, 0.4e-6) << "at x = " << x;
    }
    // Steeper conduction for negative x than for positive x at the same distance.
    EXPECT_GT(u1.lookup(-2.5) - u1.lookup(-3.0), 0.0);
    EXPECT_GT(-u1.lookup(-3.0), u1.lookup(3.0) * 100.0);
}

} // namespace
} // namespace brimtone
