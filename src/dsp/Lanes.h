#pragma once

// The two channels in lockstep.
//
// Every stage of the amplifier path keeps one state per channel and shares its coefficients
// between them, so the two channels are independent recurrences. Run side by side in the two
// lanes of an SSE2 register, both channels cost the instructions of one, and their feedback
// loops (divisions, table reads) run at the same time. Each lane performs exactly the
// operations of the one-channel code, in the same order; SSE2 rounds every lane as the scalar
// instruction would, so each channel's result is bit-identical either way.
//
// The per-sample code of a stage is written once, as a template on a lane selector:
//  - OneChannel: plain doubles, one channel's lane of the state;
//  - BothChannels: DoublePairs, lane 0 for channel 0 and lane 1 for channel 1.
// State lives in DoublePairs (one lane per channel), coefficients in `Coefficient`s (the same
// value in both lanes), so the two-channel code multiplies straight from memory and the
// one-channel code reads the first lane.
//
// Where the one-channel code branches on a value, the two-channel code either computes both
// sides and picks per lane (`select`), or takes the common path when every lane agrees and
// otherwise runs the one-channel code on each lane.

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

namespace brimtone {

// Two doubles handled by one SSE2 instruction (GCC vector extension: the arithmetic
// operators work lane by lane).
using DoublePair = double __attribute__((vector_size(16)));
// A lane-wise comparison of DoublePairs: all bits set in a lane where it holds.
using PairMask = std::int64_t __attribute__((vector_size(16)));

// A value shared by both channels, stored in both lanes. It converts from double, so the
// coefficient updates assign it as they would a double.
class Coefficient {
public:
    constexpr Coefficient() = default;
    constexpr Coefficient(double value) : lanes_{value, value} {}

    double value() const { return lanes_[0]; }
    const DoublePair& lanes() const { return lanes_; }

    friend double operator*(Coefficient c, double x) { return c.lanes_[0] * x; }
    friend double operator*(double x, Coefficient c) { return x * c.lanes_[0]; }
    friend DoublePair operator*(Coefficient c, DoublePair x) { return c.lanes_ * x; }
    friend DoublePair operator*(DoublePair x, Coefficient c) { return x * c.lanes_; }
    friend double operator+(double x, Coefficient c) { return x + c.lanes_[0]; }
    friend DoublePair operator+(DoublePair x, Coefficient c) { return x + c.lanes_; }
    friend double operator-(double x, Coefficient c) { return x - c.lanes_[0]; }
    friend DoublePair operator-(DoublePair x, Coefficient c) { return x - c.lanes_; }

private:
    DoublePair lanes_{};
};

// Lane selectors. `load` and `store` reach the selected lanes of a per-channel state pair.
struct OneChannel {
    using Value = double;
    int channel; // 0 or 1

    double load(const DoublePair& state) const { return state[channel]; }
    void store(DoublePair& state, double value) const { state[channel] = value; }
};

// Every lane of a state at once: both channels of a DoublePair (or the one signal of a
// plain value).
template <class T>
struct AllLanes {
    using Value = T;

    static T load(const T& state) { return state; }
    static void store(T& state, T value) { state = value; }
};

using BothChannels = AllLanes<DoublePair>;

template <class Lanes>
using LaneValue = typename Lanes::Value;

// A coefficient or a plain value as the per-sample code of a value type uses it.
template <class V>
V lanesOf(Coefficient c);
template <>
inline double lanesOf<double>(Coefficient c)
{
    return c.value();
}
template <>
inline DoublePair lanesOf<DoublePair>(Coefficient c)
{
    return c.lanes();
}

template <class V>
V broadcast(double value);
template <>
inline double broadcast<double>(double value)
{
    return value;
}
template <>
inline DoublePair broadcast<DoublePair>(double value)
{
    return DoublePair{value, value};
}

// ---- lane-wise helpers, one overload per value type --------------------------------------

// a where the mask holds, else b.
inline double select(bool mask, double a, double b) { return mask ? a : b; }
inline DoublePair select(PairMask mask, DoublePair a, DoublePair b)
{
    // The compiler picks the instructions: a blend where the instruction set has one.
    return mask ? a : b;
}

inline bool bothOf(bool a, bool b) { return a && b; }
inline PairMask bothOf(PairMask a, PairMask b)
{
    return reinterpret_cast<PairMask>(_mm_and_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b)));
}

inline bool allOf(bool mask) { return mask; }
inline bool allOf(PairMask mask) { return _mm_movemask_pd(reinterpret_cast<__m128d>(mask)) == 3; }

// x > limit ? x : limit (a NaN gives limit), and x < limit ? x : limit (a NaN gives limit).
inline double atLeast(double x, double limit) { return x > limit ? x : limit; }
inline DoublePair atLeast(DoublePair x, DoublePair limit) { return _mm_max_pd(x, limit); }
inline double atMost(double x, double limit) { return x < limit ? x : limit; }
inline DoublePair atMost(DoublePair x, DoublePair limit) { return _mm_min_pd(x, limit); }

// The correctly rounded root (a negative x gives a NaN, with no error reporting).
inline double squareRoot(double x) { return _mm_cvtsd_f64(_mm_sqrt_pd(_mm_set_sd(x))); }
inline DoublePair squareRoot(DoublePair x) { return _mm_sqrt_pd(x); }

inline double absolute(double x) { return std::fabs(x); }
inline DoublePair absolute(DoublePair x)
{
    return reinterpret_cast<DoublePair>(reinterpret_cast<PairMask>(x) & PairMask{INT64_MAX, INT64_MAX});
}

// −1, 0 or +1 (0 for a zero or a NaN).
inline double sign(double x) { return static_cast<double>((x > 0.0) - (x < 0.0)); }
inline DoublePair sign(DoublePair x)
{
    const DoublePair one = {1.0, 1.0};
    const DoublePair zero = {0.0, 0.0};
    return select(x > zero, one, zero) - select(x < zero, one, zero);
}

// ---- table reads ------------------------------------------------------------------------

// Indices into a table, one per lane.
struct IndexPair {
    int first;
    int second;
};

// The integer part i of f (0 <= f < 2^31, truncated as a cast to int does) and f − i.
inline int truncateToIndex(double f, double& fraction)
{
    const int i = static_cast<int>(f);
    fraction = f - i;
    return i;
}
inline IndexPair truncateToIndex(DoublePair f, DoublePair& fraction)
{
    const __m128i i = _mm_cvttpd_epi32(f);
    fraction = f - _mm_cvtepi32_pd(i);
    const std::int64_t both = _mm_cvtsi128_si64(i);
    return {static_cast<int>(both), static_cast<int>(both >> 32)};
}

// table[i] and table[i + 1] in each lane, read together (table[i + 1] must exist).
inline void gatherAdjacent(const double* table, int i, double& at, double& next)
{
    at = table[i];
    next = table[i + 1];
}
inline void gatherAdjacent(const double* table, IndexPair i, DoublePair& at, DoublePair& next)
{
    const __m128d first = _mm_loadu_pd(table + i.first);
    const __m128d second = _mm_loadu_pd(table + i.second);
    at = _mm_unpacklo_pd(first, second);
    next = _mm_unpackhi_pd(first, second);
}

// ---- per-channel work --------------------------------------------------------------------

// The one-channel code applied to each lane: f(value, channel).
template <class F>
double eachLane(double x, OneChannel lanes, F f)
{
    return f(x, lanes.channel);
}
template <class F>
DoublePair eachLane(DoublePair x, BothChannels, F f)
{
    return DoublePair{f(x[0], 0), f(x[1], 1)};
}

// The value of one lane (a plain double is its own lane 0).
inline double laneOf(double x, int) { return x; }
inline double laneOf(DoublePair x, int lane) { return x[lane]; }

// For work that follows the channels one at a time (the display side): f(lane, channel) for
// each selected channel in order, with the lane of the values that holds it.
template <class F>
void forEachChannel(OneChannel lanes, F f)
{
    f(0, lanes.channel);
}
template <class F>
void forEachChannel(BothChannels, F f)
{
    f(0, 0);
    f(1, 1);
}

} // namespace brimtone
