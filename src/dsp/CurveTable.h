#pragma once

#include "dsp/Lanes.h"

#include <array>
#include <cstddef>

namespace brimtone {

// The sample array of a computed curve of `Points` grid points, with room for the copy of
// the last point.
template <int Points>
using CurveSamples = std::array<double, Points + 1>;

// Writes the copy of the last point once a computed curve's points are in place.
template <std::size_t N>
void repeatLastPoint(std::array<double, N>& samples)
{
    samples[N - 1] = samples[N - 2];
}

// A sampled function y(x) on an evenly spaced grid from xMin to xMax, read by linear
// interpolation and continued outside the grid by straight lines with the end slopes.
// The samples are static data or an array inside the owning stage; the table never
// owns them. Past the last grid point the array holds a copy of it, so that a point and
// its successor are always read together, in one load per lane.
class CurveTable {
public:
    constexpr CurveTable() = default;

    constexpr CurveTable(const double* samples, double pointsPerUnit, double xMin, double xMax, double slopeAbove,
                         double slopeBelow, int count)
        : samples_(samples), pointsPerUnit_(pointsPerUnit), xMin_(xMin), xMax_(xMax), slopeAbove_(slopeAbove),
          slopeBelow_(slopeBelow), count_(count)
    {}

    // For computed tables: the end slopes from the first two and the last two samples.
    void setSlopesFromSamples()
    {
        slopeBelow_ = (samples_[1] - samples_[0]) * pointsPerUnit_;
        slopeAbove_ = (samples_[count_ - 1] - samples_[count_ - 2]) * pointsPerUnit_;
    }

    // x is double (one channel) or DoublePair (both channels, see Lanes.h).
    template <class V>
    V lookup(V x) const
    {
        const V lo = lanesOf<V>(xMin_);
        const V hi = lanesOf<V>(xMax_);
        const auto inside = bothOf(x >= lo, x <= hi);
        // Usually every lane is on the grid, and the continuations need not be computed.
        if (allOf(inside))
            return interpolate(x);
        const V inGrid = interpolate(clampToGrid(x));
        // Outside the grid: below xMin the lower line, above xMax (or a NaN) the upper one.
        const V below = (x - xMin_) * slopeBelow_ + broadcast<V>(samples_[0]);
        const V above = (x - xMax_) * slopeAbove_ + broadcast<V>(samples_[count_ - 1]);
        const V outside = select(x <= hi, below, above);
        return select(inside, inGrid, outside);
    }

    // x limited to the grid first: no extrapolation.
    template <class V>
    V lookupClamped(V x) const
    {
        return interpolate(clampToGrid(x));
    }

    // For x known to lie within the grid: the same as lookupClamped.
    template <class V>
    V lookupInside(V x) const
    {
        return interpolate(x);
    }

    const double* samples() const { return samples_; }
    double pointsPerUnit() const { return pointsPerUnit_.value(); }
    double xMin() const { return xMin_.value(); }
    double xMax() const { return xMax_.value(); }
    double slopeAbove() const { return slopeAbove_.value(); }
    double slopeBelow() const { return slopeBelow_.value(); }
    int count() const { return count_; }

private:
    // x > xMin ? x : xMin, then at most xMax: a NaN reads xMin.
    template <class V>
    V clampToGrid(V x) const
    {
        return atMost(atLeast(x, lanesOf<V>(xMin_)), lanesOf<V>(xMax_));
    }

    // x within [xMin, xMax]; a fraction at or below 1e-10 reads the lower point alone.
    template <class V>
    V interpolate(V x) const
    {
        const V f = (x - xMin_) * pointsPerUnit_;
        V phi;
        const auto i = truncateToIndex(f, phi);
        // At the last point the fraction is 0 and the upper point (its copy) goes unused.
        V lower;
        V upper;
        gatherAdjacent(samples_, i, lower, upper);
        return select(phi <= broadcast<V>(1e-10), lower, lower + (upper - lower) * phi);
    }

    const double* samples_ = nullptr;
    Coefficient pointsPerUnit_;
    Coefficient xMin_;
    Coefficient xMax_;
    Coefficient slopeAbove_;
    Coefficient slopeBelow_;
    int count_ = 0;
};

} // namespace brimtone
