#include "dsp/CurveTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace brimtone {
namespace {

// y = x² on 0..3, one point per unit, end slopes 5 above and 2 below; the last point
// repeated past the grid, as every curve's array has it.
constexpr double kSquares[5] = {0.0, 1.0, 4.0, 9.0, 9.0};

CurveTable squares() { return CurveTable(kSquares, 1.0, 0.0, 3.0, 5.0, 2.0, 4); }

// Inside the grid: linear interpolation, a tiny fraction reads the lower point alone.
TEST(CurveTable, ReadsInsideTheGrid)
{
    const CurveTable t = squares();
    EXPECT_DOUBLE_EQ(t.lookup(1.5), 2.5);
    EXPECT_DOUBLE_EQ(t.lookup(2.25), 5.25);
    EXPECT_EQ(t.lookup(2.0), 4.0);
    EXPECT_EQ(t.lookup(3.0), 9.0);
    EXPECT_EQ(t.lookup(0.0), 0.0);
    EXPECT_EQ(t.lookup(1.0 + 5e-11), 1.0);
    EXPECT_GT(t.lookup(1.0 + 1e-9), 1.0);
    EXPECT_EQ(t.lookupClamped(2.0 + 5e-11), 4.0);
    EXPECT_DOUBLE_EQ(t.lookupClamped(0.5), 0.5);
}

// Outside: the end slopes continue it, the clamped read holds the end points, NaN is no index.
TEST(CurveTable, ReadsOutsideTheGrid)
{
    const CurveTable t = squares();
    EXPECT_DOUBLE_EQ(t.lookup(4.0), 9.0 + 5.0);
    EXPECT_DOUBLE_EQ(t.lookup(-1.5), -3.0);
    EXPECT_EQ(t.lookupClamped(10.0), 9.0);
    EXPECT_EQ(t.lookupClamped(-10.0), 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(t.lookup(nan)));
    EXPECT_EQ(t.lookupClamped(nan), 0.0);
    CurveTable computed(kSquares, 2.0, 0.0, 1.5, 0.0, 0.0, 4);
    computed.setSlopesFromSamples();
    EXPECT_DOUBLE_EQ(computed.slopeBelow(), 2.0);
    EXPECT_DOUBLE_EQ(computed.slopeAbove(), 10.0);
    EXPECT_DOUBLE_EQ(computed.lookup(2.0), 14.0);
}

} // namespace
} // namespace brimtone
