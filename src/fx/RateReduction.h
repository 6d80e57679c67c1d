#pragma once
#include <array>
#include <cstdint>

namespace brimtone {

// The cabinet and the spring run their convolutions at a reduced rate: the
// host rate halved while it is at or above `halvingRate`, up to `maxFactor`
// host samples per reduced sample. Returns the reduced rate and updates
// `factor`; when the factor changes, a half-filled block of the old size is
// dropped (both block positions restart at 0), so a position never reaches
// the new factor.
inline float reduceRate(double T, float halvingRate, std::int32_t maxFactor, std::int32_t& factor,
                        std::array<std::int32_t, 2>& phase)
{
    float rate = static_cast<float>(1.0 / T);
    std::int32_t newFactor = 1;
    while (rate >= halvingRate && newFactor < maxFactor) {
        rate = rate * 0.5f;
        newFactor = newFactor * 2;
    }
    if (newFactor != factor) {
        factor = newFactor;
        phase.fill(0);
    }
    return rate;
}

} // namespace brimtone
