#include "analysis/ResponseMath.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace brimtone {

namespace {

using Complex = std::complex<float>;

template <std::size_t N>
using ComplexMatrix = std::array<std::array<Complex, N>, N>; // m[row][column]

// The N − 1 indices 0..N−1 other than `skip`, in ascending order.
template <std::size_t N>
std::array<std::size_t, N - 1> indicesWithout(std::size_t skip)
{
    std::array<std::size_t, N - 1> r{};
    for (std::size_t i = 0, k = 0; i < N; ++i)
        if (i != skip)
            r[k++] = i;
    return r;
}

// Determinant of the 2×2 minor on rows r0, r1 and columns c0, c1.
template <std::size_t N>
Complex minor2(const ComplexMatrix<N>& m, std::size_t r0, std::size_t r1, std::size_t c0, std::size_t c1)
{
    return complexMultiply(m[r0][c0], m[r1][c1]) - complexMultiply(m[r0][c1], m[r1][c0]);
}

// Determinant of the 3×3 minor on rows r and columns c, expanded along its first row
// into element × 2×2 minor.
template <std::size_t N>
Complex minor3(const ComplexMatrix<N>& m, const std::array<std::size_t, 3>& r, const std::array<std::size_t, 3>& c)
{
    return complexMultiply(m[r[0]][c[0]], minor2<N>(m, r[1], r[2], c[1], c[2]))
           - complexMultiply(m[r[0]][c[1]], minor2<N>(m, r[1], r[2], c[0], c[2]))
           + complexMultiply(m[r[0]][c[2]], minor2<N>(m, r[1], r[2], c[0], c[1]));
}

// Signed determinant of m without row i and column j.
template <std::size_t N>
Complex cofactor(const ComplexMatrix<N>& m, std::size_t i, std::size_t j)
{
    static_assert(N == 3 || N == 4, "cofactors cover three and four states");
    const auto rows = indicesWithout<N>(i);
    const auto columns = indicesWithout<N>(j);
    Complex minor;
    if constexpr (N == 3)
        minor = minor2<N>(m, rows[0], rows[1], columns[0], columns[1]);
    else
        minor = minor3<N>(m, rows, columns);
    return ((i + j) % 2 == 0) ? minor : -minor;
}

// M⁻¹ = adj(M) · q with q = 1/det(M) formed by one division.
template <std::size_t N>
ComplexMatrix<N> inverse(const ComplexMatrix<N>& m)
{
    ComplexMatrix<N> adj{};
    Complex det;
    if constexpr (N == 2) {
        adj = {{{m[1][1], -m[0][1]}, {-m[1][0], m[0][0]}}};
        det = minor2<N>(m, 0, 1, 0, 1);
    } else {
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j)
                adj[j][i] = cofactor<N>(m, i, j);
        // Expansion along the first row, whose cofactors are column 0 of the adjugate.
        det = complexMultiply(m[0][0], adj[0][0]);
        for (std::size_t j = 1; j < N; ++j)
            det += complexMultiply(m[0][j], adj[j][0]);
    }
    const Complex q = complexDivide({1.0f, 0.0f}, det);
    for (auto& row : adj)
        for (Complex& e : row)
            e = complexMultiply(e, q);
    return adj;
}

template <std::size_t N>
Complex stateSpaceResponseAt(const DisplayBlock<N>& block, Complex z)
{
    ComplexMatrix<N> m{};
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j)
            m[i][j] = (i == j ? z : Complex{}) - block.a(i, j);
    const ComplexMatrix<N> inv = inverse<N>(m);

    // The row C·M⁻¹ first, then its product with B, then D.
    std::array<Complex, N> row{};
    for (std::size_t j = 0; j < N; ++j) {
        Complex s = complexMultiply(block.C[0], inv[0][j]);
        for (std::size_t i = 1; i < N; ++i)
            s += complexMultiply(block.C[i], inv[i][j]);
        row[j] = s;
    }
    Complex h = complexMultiply(row[0], block.B[0]);
    for (std::size_t j = 1; j < N; ++j)
        h += complexMultiply(row[j], block.B[j]);
    return h + block.D;
}

// Channel numbers of the engine's Channel setting.
constexpr int kCleanChannel = 1;
constexpr int kDriveChannel = 2;
constexpr int kLeadChannel = 3;

} // namespace

Complex complexMultiply(Complex a, Complex b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

Complex complexDivide(Complex p, Complex s)
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    const float sr = s.real();
    const float si = s.imag();
    if (std::isnan(sr) || std::isnan(si) || (sr == 0.0f && si == 0.0f))
        return {nan, nan};
    // The smaller part of s over the larger keeps |r| ≤ 1; e is NaN when both parts of
    // s are infinite.
    const bool realLarger = std::fabs(si) < std::fabs(sr);
    const float r = realLarger ? si / sr : sr / si;
    const float e = realLarger ? r * si + sr : r * sr + si;
    if (e == 0.0f || std::isnan(e))
        return {nan, nan};
    if (realLarger)
        return {(p.real() + p.imag() * r) / e, (p.imag() - p.real() * r) / e};
    return {(p.real() * r + p.imag()) / e, (p.imag() * r - p.real()) / e};
}

Complex blockResponseAt(const DisplayBlock<2>& block, Complex z) { return stateSpaceResponseAt<2>(block, z); }

Complex blockResponseAt(const DisplayBlock<3>& block, Complex z) { return stateSpaceResponseAt<3>(block, z); }

Complex blockResponseAt(const DisplayBlock<4>& block, Complex z) { return stateSpaceResponseAt<4>(block, z); }

Complex blockResponseAt(const DisplayBlock<1>& section, Complex z)
{
    return complexDivide(complexMultiply(section.C[0], section.B[0]), z - section.A[0]) + section.D;
}

float squaredMagnitude(Complex h) { return h.real() * h.real() + h.imag() * h.imag(); }

float toneResponseAt(int channel, const DisplayBlock<3>& tonestack, const DisplayBlock<2>& clean,
                     const DriveOutputFilter::Display& drive, Complex z)
{
    switch (channel) {
    case kCleanChannel:
        return squaredMagnitude(blockResponseAt(tonestack, z)) * squaredMagnitude(blockResponseAt(clean, z));
    case kDriveChannel:
    case kLeadChannel:
        return squaredMagnitude(blockResponseAt(tonestack, z))
               * (squaredMagnitude(blockResponseAt(drive.network, z))
                  * squaredMagnitude(blockResponseAt(drive.section, z)));
    default: // Bypass: nothing shapes the tone
        return 1.0f;
    }
}

} // namespace brimtone
