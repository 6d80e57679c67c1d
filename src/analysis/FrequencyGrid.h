#pragma once
// The frequencies at which the editor evaluates the tonestack response: 173 points on
// the unit circle, z_k = exp(j·ω_k), from 20 Hz to 22050 Hz in equal ratios (about
// 1.04157 between neighbours), for the amplifier path's sample period. Kept so that no
// trigonometric function runs per display frame; rebuilt only when the period changes.

#include <array>
#include <complex>
#include <cstddef>

namespace brimtone {

class FrequencyGrid {
public:
    static constexpr std::size_t kPoints = 173;
    static constexpr double kLowestHz = 20.0;
    static constexpr double kHighestHz = 22050.0;

    // Built for 44.1 kHz.
    FrequencyGrid();

    // T: the host sample period divided by the oversampling factor. The points are
    // rebuilt when T differs from the period they were made for.
    void setSamplePeriod(float T);
    float samplePeriod() const { return T_; }

    // (cos ω_k, sin ω_k), k = 0 (20 Hz) .. 172 (22050 Hz).
    std::complex<float> point(std::size_t k) const { return points_[k]; }

private:
    void build();

    float T_;
    std::array<std::complex<float>, kPoints> points_{};
};

// A squared magnitude in dB: 10·log10(m), or −50 dB when m is not above 0 (a NaN from
// a singular point included).
float responseLevelDb(float squaredMagnitude);

} // namespace brimtone
