#pragma once

namespace brimtone {

// A sampled function y(x) on an evenly spaced grid from xMin to xMax, read by linear
// interpolation and continued outside the grid by straight lines with the end slopes.
// The samples are static data or an array inside the owning stage; the table never
// owns them.
class CurveTable {
public:
    constexpr CurveTable() = default;

    constexpr CurveTable(const double* samples, double pointsPerUnit, double xMin, double xMax,
               double slopeAbove, double slopeBelow, int count)
        : samples_(samples), pointsPerUnit_(pointsPerUnit), xMin_(xMin), xMax_(xMax),
          slopeAbove_(slopeAbove), slopeBelow_(slopeBelow), count_(count)
    {
    }

    // For computed tables: the end slopes from the first two and the last two samples.
    void setSlopesFromSamples()
    {
        slopeBelow_ = (samples_[1] - samples_[0]) * pointsPerUnit_;
        slopeAbove_ = (samples_[count_ - 1] - samples_[count_ - 2]) * pointsPerUnit_;
    }

    double lookup(double x) const
    {
        // Written so that a NaN takes the first branch and never becomes an index.
        if (!(x <= xMax_))
            return (x - xMax_) * slopeAbove_ + samples_[count_ - 1];
        if (x < xMin_)
            return (x - xMin_) * slopeBelow_ + samples_[0];
        return interpolate(x);
    }

    // x limited to the grid first: no extrapolation.
    double lookupClamped(double x) const
    {
        double c = x > xMin_ ? x : xMin_; // a NaN reads xMin
        c = c < xMax_ ? c : xMax_;
        return interpolate(c);
    }

    const double* samples() const { return samples_; }
    double pointsPerUnit() const { return pointsPerUnit_; }
    double xMin() const { return xMin_; }
    double xMax() const { return xMax_; }
    double slopeAbove() const { return slopeAbove_; }
    double slopeBelow() const { return slopeBelow_; }
    int count() const { return count_; }

private:
    // x within [xMin, xMax]; a fraction at or below 1e-10 reads the lower point alone.
    double interpolate(double x) const
    {
        const double f = (x - xMin_) * pointsPerUnit_;
        const int i = static_cast<int>(f);
        const double phi = f - i;
        if (phi <= 1e-10)
            return samples_[i];
        return samples_[i] + (samples_[i + 1] - samples_[i]) * phi;
    }

    const double* samples_ = nullptr;
    double pointsPerUnit_ = 0.0;
    double xMin_ = 0.0;
    double xMax_ = 0.0;
    double slopeAbove_ = 0.0;
    double slopeBelow_ = 0.0;
    int count_ = 0;
};

} // namespace brimtone
