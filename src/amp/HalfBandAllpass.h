#pragma once

#include <array>

#include "amp/OversamplingCoefficients.h"

namespace brimtone {

// State of the polyphase half-band pair: branch A and branch B, each four first-order
// all-pass sections in series. Both branches are stepped together; entry 2 * s + b belongs
// to section s of branch b (0 = A, 1 = B), the same layout as kHalfBandCoeffs.
template <typename T>
class HalfBandAllpass {
 public:
  // Runs a through branch A and b through branch B, in place.
  void process(T& a, T& b) {
    T value[2] = {a, b};
    for (int s = 0; s < 4; ++s) {
      for (int branch = 0; branch < 2; ++branch) {
        const int i = 2 * s + branch;
        // y = (x - y1) * c + x1: a first-order all-pass with unit gain at every frequency.
        const T y = (value[branch] - previousOutput[i]) * kCoeffs[i] + previousInput[i];
        previousInput[i] = value[branch];
        previousOutput[i] = y;
        value[branch] = y;
      }
    }
    a = value[0];
    b = value[1];
  }

 private:
  static constexpr std::array<T, 8> kCoeffs = convertTable<T>(kHalfBandCoeffs);

  std::array<T, 8> previousInput{};
  std::array<T, 8> previousOutput{};
};

}  // namespace brimtone
