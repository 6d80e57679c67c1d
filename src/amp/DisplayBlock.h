#pragma once

#include "dsp/StateSpace.h"

#include <array>
#include <complex>
#include <cstddef>

namespace brimtone {

// Single-precision copy of a discrete state-space system, kept inside a filter for the
// tonestack response display. The display analysis refreshes it under its own lock and
// evaluates C·(z·I − A)⁻¹·B + D from it in complex single precision, so every value is
// stored as a complex number with a zero imaginary part. A is stored column by column.
template <std::size_t N>
struct DisplayBlock {
    std::array<std::complex<float>, N * N> A{};
    std::array<std::complex<float>, N> B{};
    std::array<std::complex<float>, N> C{};
    std::complex<float> D{};

    void assign(const StateSpace<N>& s)
    {
        for (std::size_t column = 0; column < N; ++column)
            for (std::size_t row = 0; row < N; ++row)
                A[column * N + row] = toDisplay(s.A[row][column]);
        for (std::size_t i = 0; i < N; ++i) {
            B[i] = toDisplay(s.B[i]);
            C[i] = toDisplay(s.C[i]);
        }
        D = toDisplay(s.D);
    }

    // Element of A at (row, column).
    std::complex<float> a(std::size_t row, std::size_t column) const { return A[column * N + row]; }

private:
    static std::complex<float> toDisplay(double value) { return {static_cast<float>(value), 0.0f}; }
};

} // namespace brimtone
