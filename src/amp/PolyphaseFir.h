#pragma once

namespace brimtone {

// Tap loops shared by the oversampling and rate filters. Both read a window of a doubled
// delay line, so the window is always one contiguous run and the loops have fixed lengths.

// Polyphase interpolation: out[k] = sum over j of kernel[Phases * j + k] * newestFirst[j],
// for k = 0..Phases-1 and j = 0..TapsPerPhase-1 (newestFirst[0] is the newest sample).
// All phases accumulate side by side; each sum still runs in order j = 0, 1, ...
template <int Phases, int TapsPerPhase, typename T>
inline void polyphaseInterpolate(const T* kernel, const T* newestFirst, T* out) {
  T acc[Phases] = {};
  for (int j = 0; j < TapsPerPhase; ++j) {
    for (int k = 0; k < Phases; ++k) {
      acc[k] += kernel[Phases * j + k] * newestFirst[j];
    }
  }
  for (int k = 0; k < Phases; ++k) {
    out[k] = acc[k];
  }
}

// One FIR output over the Taps samples ending at *newest, with older samples at lower
// addresses: sum over n of kernel[n] * newest[-n], in order n = 0, 1, ...
template <int Taps, typename T>
inline T decimationSum(const T* kernel, const T* newest) {
  T y = 0;
  for (int n = 0; n < Taps; ++n) {
    y += kernel[n] * newest[-n];
  }
  return y;
}

// Two decimationSum results over windows ending at newestA and newestB, computed side by side
// (each sum keeps its own order, so both equal decimationSum).
template <int Taps, typename T>
inline void decimationSumPair(const T* kernel, const T* newestA, const T* newestB, T& a, T& b) {
  T ya = 0;
  T yb = 0;
  for (int n = 0; n < Taps; ++n) {
    ya += kernel[n] * newestA[-n];
    yb += kernel[n] * newestB[-n];
  }
  a = ya;
  b = yb;
}

}  // namespace brimtone
