#include "amp/OpAmpModel.h"

namespace brimtone {

namespace {

// The output stays this far inside each rail.
constexpr double kRailHeadroom = 1.63;

} // namespace

OpAmpModel::OpAmpModel()
{
    setRails(-15.0, 15.0, 1e6);
    setKnees(-0.432831, 0.432831);
}

void OpAmpModel::setRails(double low, double high, double gain)
{
    railLow_ = low;
    railHigh_ = high;
    openLoopGain_ = gain;
    swing_ = (railHigh_ - railLow_) * 0.5 - kRailHeadroom;
    gainOverSwing_ = openLoopGain_ / swing_;
}

void OpAmpModel::setKnees(double low, double high)
{
    kneeLow_ = low;
    kneeHigh_ = high;
    kneeLowSquared_ = low * low;
    kneeLowTwicePlusOne_ = 2.0 * low + 1.0;
    kneeHighSquared_ = high * high;
    kneeHighOneMinusTwice_ = 1.0 - 2.0 * high;
}

double OpAmpModel::output(double v) const
{
    const double w = gainOverSwing_ * v;
    double sat = w;
    if (w < kneeLow_)
        sat = (w + kneeLowSquared_) / (kneeLowTwicePlusOne_ - w);
    else if (w > kneeHigh_)
        sat = (w - kneeHighSquared_) / (w + kneeHighOneMinusTwice_);
    return swing_ * sat;
}

} // namespace brimtone
