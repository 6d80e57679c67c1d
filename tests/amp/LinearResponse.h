#pragma once

// Test helpers: the frequency response of a state-space system, and the gain and settled
// output of a stage measured with a sine through its per-sample process.
#include "dsp/StateSpace.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <utility>

namespace brimtone::test {

// C·(point·I − A)⁻¹·B + D by Gaussian elimination in complex double precision.
template <std::size_t N>
std::complex<double> transferAt(const StateSpace<N>& s, std::complex<double> point)
{
    std::array<std::array<std::complex<double>, N + 1>, N> m{};
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = 0; j < N; ++j)
            m[i][j] = ((i == j) ? point : 0.0) - s.A[i][j];
        m[i][N] = s.B[i];
    }
    for (std::size_t col = 0; col < N; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < N; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        std::swap(m[col], m[pivot]);
        for (std::size_t r = 0; r < N; ++r) {
            if (r == col)
                continue;
            const std::complex<double> f = m[r][col] / m[col][col];
            for (std::size_t c = col; c <= N; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    std::complex<double> y = s.D;
    for (std::size_t i = 0; i < N; ++i)
        y += s.C[i] * m[i][N] / m[i][i];
    return y;
}

template <std::size_t N>
double continuousGain(const StateSpace<N>& s, double f)
{
    return std::abs(transferAt<N>(s, {0.0, 2.0 * std::numbers::pi * f}));
}

template <std::size_t N>
double discreteGain(const StateSpace<N>& s, double f, double T)
{
    return std::abs(transferAt<N>(s, std::polar(1.0, 2.0 * std::numbers::pi * f * T)));
}

// Gain of a stage for a sine of f Hz at period T: the stage settles for `settle` seconds,
// then the output is correlated with sine and cosine over whole periods.
template <class Stage>
double measureGain(Stage& stage, double f, double T, double amplitude = 1.0, int channel = 0, double settle = 1.0)
{
    const double w = 2.0 * std::numbers::pi * f * T;
    const long settleSamples = std::lround(settle / T);
    long n = 0;
    for (; n < settleSamples; ++n)
        stage.process(amplitude * std::sin(w * static_cast<double>(n)), channel);
    const double periods = std::ceil(0.1 * f); // at least 100 ms
    const long count = std::lround(periods / (f * T));
    double sumSin = 0.0, sumCos = 0.0;
    for (long k = 0; k < count; ++k, ++n) {
        const double phase = w * static_cast<double>(n);
        const double y = stage.process(amplitude * std::sin(phase), channel);
        sumSin += y * std::sin(phase);
        sumCos += y * std::cos(phase);
    }
    return 2.0 * std::hypot(sumSin, sumCos) / (static_cast<double>(count) * amplitude);
}

// Mean and RMS of a stage's output for a sine of f Hz at period T over the second half of
// `samples` samples.
template <class Stage>
std::pair<double, double> settledOutput(Stage& stage, double amplitude, double f, double T, int samples)
{
    double sum = 0.0, squares = 0.0;
    for (int n = 0; n < samples; ++n) {
        const double y = stage.process(amplitude * std::sin(2.0 * std::numbers::pi * f * T * n), 0);
        if (n >= samples / 2) {
            sum += y;
            squares += y * y;
        }
    }
    return {sum / (samples / 2), std::sqrt(squares / (samples / 2))};
}

// A settled mean and RMS against their reference figures.
inline void expectSettled(const std::pair<double, double>& actual, double mean, double rms)
{
    EXPECT_NEAR(actual.first, mean, 1e-6 * std::fabs(mean));
    EXPECT_NEAR(actual.second, rms, 1e-6 * rms);
}

} // namespace brimtone::test
