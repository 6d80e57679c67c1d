#pragma once

#include <array>

namespace brimtone {

// Direct-form float FIR of Taps coefficients with a history per channel (0 or 1). The
// history is written twice (at p and p + Taps) so the tap window is always contiguous.
template <int Taps>
class FirFilter {
 public:
  void setKernel(const std::array<float, Taps>& kernel) { coeff = kernel; }

  float process(float x, int channel) {
    float* h = history[channel].data();
    int& p = pos[channel];
    h[p] = x;
    h[p + Taps] = x;
    float y = 0.0f;
    for (int k = 0; k < Taps; ++k) {
      y += coeff[k] * h[p + k];
    }
    p = p == 0 ? Taps - 1 : p - 1;
    return y;
  }

 private:
  std::array<float, Taps> coeff{};
  std::array<std::array<float, 2 * Taps>, 2> history{};
  std::array<int, 2> pos{};
};

}  // namespace brimtone
