#include "analysis/FrequencyGrid.h"

#include <cmath>
#include <numbers>

namespace brimtone {

namespace {

constexpr float kFloorDb = -50.0f;

} // namespace

FrequencyGrid::FrequencyGrid() : T_(static_cast<float>(1.0 / 44100.0)) { build(); }

void FrequencyGrid::setSamplePeriod(float T)
{
    if (T == T_)
        return;
    T_ = T;
    build();
}

void FrequencyGrid::build()
{
    const double lowest = 2.0 * std::numbers::pi * static_cast<double>(T_) * kLowestHz;
    const double ratio = kHighestHz / kLowestHz;
    const double lastIndex = static_cast<double>(kPoints - 1);
    for (std::size_t k = 0; k < kPoints; ++k) {
        const double w = lowest * std::pow(ratio, static_cast<double>(k) / lastIndex);
        points_[k] = {static_cast<float>(std::cos(w)), static_cast<float>(std::sin(w))};
    }
}

float responseLevelDb(float squaredMagnitude)
{
    return squaredMagnitude > 0.0f ? 10.0f * std::log10(squaredMagnitude) : kFloorDb;
}

} // namespace brimtone
