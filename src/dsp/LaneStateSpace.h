#pragma once

#include "dsp/Lanes.h"
#include "dsp/StateSpace.h"

#include <array>
#include <cstddef>

namespace brimtone {

// A discrete state-space system laid out for the per-sample code: every value a
// Coefficient (both lanes), so one channel or both channels read it straight from memory.
template <std::size_t N>
struct LaneStateSpace {
    std::array<std::array<Coefficient, N>, N> A{};
    std::array<Coefficient, N> B{};
    std::array<Coefficient, N> C{};
    Coefficient D;

    LaneStateSpace() = default;
    explicit LaneStateSpace(const StateSpace<N>& s) : D(s.D)
    {
        for (std::size_t i = 0; i < N; ++i) {
            for (std::size_t j = 0; j < N; ++j)
                A[i][j] = s.A[i][j];
            B[i] = s.B[i];
            C[i] = s.C[i];
        }
    }
};

// The state of an N-state system for both channels: one DoublePair (a lane per channel) per
// state variable, and the lanes' working copy.
template <std::size_t N>
using LaneState = std::array<DoublePair, N>;

template <std::size_t N, class Lanes>
std::array<LaneValue<Lanes>, N> loadState(const LaneState<N>& state, Lanes lanes)
{
    std::array<LaneValue<Lanes>, N> x;
    for (std::size_t i = 0; i < N; ++i)
        x[i] = lanes.load(state[i]);
    return x;
}

template <std::size_t N, class Lanes>
void storeState(LaneState<N>& state, const std::array<LaneValue<Lanes>, N>& x, Lanes lanes)
{
    for (std::size_t i = 0; i < N; ++i)
        lanes.store(state[i], x[i]);
}

// x ← A·x + B·u as the recurrence reads: each row summed as A_i0·x_0 + A_i1·x_1 + … + B_i·u
// (from the old x). Where u comes out of a feedback loop (an op-amp's output), the state
// terms are summed while it is still being solved.
template <std::size_t N, class V>
std::array<V, N> advance(const LaneStateSpace<N>& s, const std::array<V, N>& x, V u)
{
    std::array<V, N> next;
    for (std::size_t i = 0; i < N; ++i) {
        V sum = s.A[i][0] * x[0];
        for (std::size_t j = 1; j < N; ++j)
            sum += s.A[i][j] * x[j];
        next[i] = sum + s.B[i] * u;
    }
    return next;
}

// y = D·u + C_0·x_0 + C_1·x_1 + …
template <std::size_t N, class V>
V outputDirectFirst(const LaneStateSpace<N>& s, const std::array<V, N>& x, V u)
{
    V y = s.D * u;
    for (std::size_t i = 0; i < N; ++i)
        y += s.C[i] * x[i];
    return y;
}

} // namespace brimtone
