#pragma once

#include "dsp/Lanes.h"

namespace brimtone {

// Tap loops shared by the oversampling and rate filters. Both read a window of a doubled
// delay line, so the window is always one contiguous run and the loops have fixed lengths.
// The line holds one signal (plain values, AllLanes) or both channels (DoublePairs, read
// through a lane selector); the kernel's entries multiply the values read.

// Polyphase interpolation: out[k] = sum over j of kernel[Phases * j + k] * newestFirst[j],
// for k = 0..Phases-1 and j = 0..TapsPerPhase-1 (newestFirst[0] is the newest sample).
// All phases accumulate side by side; each sum still runs in order j = 0, 1, ...
template <int Phases, int TapsPerPhase, typename Kernel, typename Line, class Lanes>
inline void polyphaseInterpolate(const Kernel* kernel, const Line* newestFirst, Lanes lanes, LaneValue<Lanes>* out)
{
    LaneValue<Lanes> acc[Phases] = {};
#pragma GCC unroll 16
    for (int j = 0; j < TapsPerPhase; ++j) {
        const LaneValue<Lanes> x = lanes.load(newestFirst[j]);
        for (int k = 0; k < Phases; ++k) {
            acc[k] += kernel[Phases * j + k] * x;
        }
    }
    for (int k = 0; k < Phases; ++k) {
        out[k] = acc[k];
    }
}

template <int Phases, int TapsPerPhase, typename T>
inline void polyphaseInterpolate(const T* kernel, const T* newestFirst, T* out)
{
    polyphaseInterpolate<Phases, TapsPerPhase>(kernel, newestFirst, AllLanes<T>{}, out);
}

// One FIR output over the Taps samples ending at *newest, with older samples at lower
// addresses: sum over n of kernel[n] * newest[-n], in order n = 0, 1, ...
template <int Taps, typename Kernel, typename Line, class Lanes>
inline LaneValue<Lanes> decimationSum(const Kernel* kernel, const Line* newest, Lanes lanes)
{
    LaneValue<Lanes> y{};
#pragma GCC unroll 16
    for (int n = 0; n < Taps; ++n) {
        y += kernel[n] * lanes.load(newest[-n]);
    }
    return y;
}

template <int Taps, typename T>
inline T decimationSum(const T* kernel, const T* newest)
{
    return decimationSum<Taps>(kernel, newest, AllLanes<T>{});
}

// Two decimationSum results over windows ending at newestA and newestB, computed side by side
// (each sum keeps its own order, so both equal decimationSum).
template <int Taps, typename Kernel, typename Line, class Lanes>
inline void decimationSumPair(const Kernel* kernel, const Line* newestA, const Line* newestB, Lanes lanes,
                              LaneValue<Lanes>& a, LaneValue<Lanes>& b)
{
    LaneValue<Lanes> ya{};
    LaneValue<Lanes> yb{};
#pragma GCC unroll 16
    for (int n = 0; n < Taps; ++n) {
        ya += kernel[n] * lanes.load(newestA[-n]);
        yb += kernel[n] * lanes.load(newestB[-n]);
    }
    a = ya;
    b = yb;
}

template <int Taps, typename T>
inline void decimationSumPair(const T* kernel, const T* newestA, const T* newestB, T& a, T& b)
{
    decimationSumPair<Taps>(kernel, newestA, newestB, AllLanes<T>{}, a, b);
}

} // namespace brimtone
