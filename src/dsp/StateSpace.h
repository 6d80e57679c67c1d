#pragma once

// Small fixed-size continuous state-space systems and their discretisation.
//
// Every linear part of the amplifier path is a system x' = A·x + B·u, y = C·x + D·u
// turned into a recurrence x[n+1] = A_d·x[n] + B_d·u[n], y[n] = C_d·x[n] + D_d·u[n]
// for the (oversampled) period T by one of two rules:
//
//   forward Euler:  A_d = I + T·A,  B_d = T·B,  C_d = C,  D_d = D
//   trapezoidal:    α = 2/T,  H = (α·I − A)⁻¹,
//                   A_d = H·(α·I + A),  B_d = 2·H·B,  C_d = α·C·H,  D_d = C·H·B + D
//
// H and α·I + A commute, so (α·I + A)·H is the same matrix; the two products differ
// only in rounding, and a caller may ask for either order. Inverses are closed forms:
// 1/m for one state, the adjugate (transpose of the cofactor matrix) times 1/det for
// two to four states. Everything here runs at coefficient-update time, not per sample.

#include <array>
#include <cstddef>

namespace brimtone {

template <std::size_t N>
using Vector = std::array<double, N>;

// Row-major: m[row][column].
template <std::size_t N>
using Matrix = std::array<Vector<N>, N>;

// One input, one output.
template <std::size_t N>
struct StateSpace {
    Matrix<N> A{};
    Vector<N> B{};
    Vector<N> C{};
    double D = 0.0;
};

// Several inputs and outputs: B[k] is the column of input k, C[j] the row of output j,
// D[j][k] the direct term from input k to output j.
template <std::size_t N, std::size_t Inputs, std::size_t Outputs>
struct StateSpaceMimo {
    Matrix<N> A{};
    std::array<Vector<N>, Inputs> B{};
    std::array<Vector<N>, Outputs> C{};
    std::array<std::array<double, Inputs>, Outputs> D{};
};

// Which side H stands on in the trapezoidal state matrix.
enum class ProductOrder {
    InverseLeft, // A_d = H·(α·I + A)
    InverseRight // A_d = (α·I + A)·H
};

template <std::size_t N>
Matrix<N> identityMatrix()
{
    Matrix<N> m{};
    for (std::size_t i = 0; i < N; ++i)
        m[i][i] = 1.0;
    return m;
}

template <std::size_t N>
Matrix<N> multiply(const Matrix<N>& a, const Matrix<N>& b)
{
    Matrix<N> r{};
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j) {
            double s = 0.0;
            for (std::size_t k = 0; k < N; ++k)
                s += a[i][k] * b[k][j];
            r[i][j] = s;
        }
    return r;
}

// m·v (column vector).
template <std::size_t N>
Vector<N> multiply(const Matrix<N>& m, const Vector<N>& v)
{
    Vector<N> r{};
    for (std::size_t i = 0; i < N; ++i) {
        double s = 0.0;
        for (std::size_t k = 0; k < N; ++k)
            s += m[i][k] * v[k];
        r[i] = s;
    }
    return r;
}

// v·m (row vector).
template <std::size_t N>
Vector<N> multiply(const Vector<N>& v, const Matrix<N>& m)
{
    Vector<N> r{};
    for (std::size_t j = 0; j < N; ++j) {
        double s = 0.0;
        for (std::size_t k = 0; k < N; ++k)
            s += v[k] * m[k][j];
        r[j] = s;
    }
    return r;
}

template <std::size_t N>
double dot(const Vector<N>& a, const Vector<N>& b)
{
    double s = 0.0;
    for (std::size_t k = 0; k < N; ++k)
        s += a[k] * b[k];
    return s;
}

// The matrix m without row `row` and column `column`.
template <std::size_t N>
Matrix<N - 1> minorMatrix(const Matrix<N>& m, std::size_t row, std::size_t column)
{
    Matrix<N - 1> r{};
    for (std::size_t i = 0, ri = 0; i < N; ++i) {
        if (i == row)
            continue;
        for (std::size_t j = 0, rj = 0; j < N; ++j) {
            if (j == column)
                continue;
            r[ri][rj++] = m[i][j];
        }
        ++ri;
    }
    return r;
}

// Determinant by cofactor expansion along the first row (closed forms up to 2×2).
template <std::size_t N>
double determinant(const Matrix<N>& m)
{
    static_assert(N >= 1 && N <= 4, "closed forms cover one to four states");
    if constexpr (N == 1) {
        return m[0][0];
    } else if constexpr (N == 2) {
        return m[0][0] * m[1][1] - m[0][1] * m[1][0];
    } else {
        double det = 0.0;
        double sign = 1.0;
        for (std::size_t j = 0; j < N; ++j) {
            det += sign * m[0][j] * determinant<N - 1>(minorMatrix<N>(m, 0, j));
            sign = -sign;
        }
        return det;
    }
}

// Inverse as adjugate · (1/det). A singular matrix gives infinities or NaNs; the
// continuous systems of the amplifier are stable, so α·I − A never is singular.
template <std::size_t N>
Matrix<N> inverse(const Matrix<N>& m)
{
    static_assert(N >= 1 && N <= 4, "closed forms cover one to four states");
    Matrix<N> adj{};
    if constexpr (N == 1) {
        adj[0][0] = 1.0;
    } else if constexpr (N == 2) {
        adj = {{{m[1][1], -m[0][1]}, {-m[1][0], m[0][0]}}};
    } else {
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j) {
                const double cofactor = determinant<N - 1>(minorMatrix<N>(m, i, j));
                adj[j][i] = ((i + j) % 2 == 0) ? cofactor : -cofactor;
            }
    }
    // Expansion along the first row, reusing the cofactors (column 0 of the adjugate).
    double det = 0.0;
    for (std::size_t j = 0; j < N; ++j)
        det += m[0][j] * adj[j][0];
    const double q = 1.0 / det;
    for (auto& row : adj)
        for (double& e : row)
            e *= q;
    return adj;
}

// The parts of the trapezoidal rule shared by every matrix of one system:
// α = 2/T, H = (α·I − A)⁻¹ and α·I + A.
template <std::size_t N>
struct BilinearKernel {
    double alpha = 0.0;
    Matrix<N> H{};
    Matrix<N> alphaPlusA{};

    BilinearKernel(const Matrix<N>& A, double T) : alpha(2.0 / T)
    {
        Matrix<N> alphaMinusA{};
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = 0; j < N; ++j) {
                const double diagonal = (i == j) ? alpha : 0.0;
                alphaMinusA[i][j] = diagonal - A[i][j];
                alphaPlusA[i][j] = diagonal + A[i][j];
            }
        H = inverse<N>(alphaMinusA);
    }

    Matrix<N> stateMatrix(ProductOrder order) const
    {
        return order == ProductOrder::InverseLeft ? multiply<N>(H, alphaPlusA) : multiply<N>(alphaPlusA, H);
    }

    // 2·H·b
    Vector<N> inputColumn(const Vector<N>& b) const
    {
        Vector<N> r = multiply<N>(H, b);
        for (double& e : r)
            e *= 2.0;
        return r;
    }

    // α·c·H
    Vector<N> outputRow(const Vector<N>& c) const
    {
        Vector<N> r = multiply<N>(c, H);
        for (double& e : r)
            e *= alpha;
        return r;
    }

    // c·H·b + d
    double directTerm(const Vector<N>& c, const Vector<N>& b, double d) const
    {
        return dot<N>(multiply<N>(c, H), b) + d;
    }
};

// Trapezoidal rule for one input and one output. A one-state section uses the closed
// quotients a = (α + p)/(α − p), b_d = 2b/(α − p), c_d = α·c/(α − p), d_d = c·b/(α − p) + d.
template <std::size_t N>
StateSpace<N> discretiseBilinear(const StateSpace<N>& s, double T, ProductOrder order = ProductOrder::InverseLeft)
{
    StateSpace<N> r;
    if constexpr (N == 1) {
        const double alpha = 2.0 / T;
        const double p = s.A[0][0];
        const double den = alpha - p;
        r.A[0][0] = (alpha + p) / den;
        r.B[0] = 2.0 * s.B[0] / den;
        r.C[0] = alpha * s.C[0] / den;
        r.D = s.C[0] * s.B[0] / den + s.D;
    } else {
        const BilinearKernel<N> k(s.A, T);
        r.A = k.stateMatrix(order);
        r.B = k.inputColumn(s.B);
        r.C = k.outputRow(s.C);
        r.D = k.directTerm(s.C, s.B, s.D);
    }
    return r;
}

// Trapezoidal rule for several inputs and outputs.
template <std::size_t N, std::size_t Inputs, std::size_t Outputs>
StateSpaceMimo<N, Inputs, Outputs> discretiseBilinear(const StateSpaceMimo<N, Inputs, Outputs>& s, double T,
                                                      ProductOrder order = ProductOrder::InverseLeft)
{
    const BilinearKernel<N> k(s.A, T);
    StateSpaceMimo<N, Inputs, Outputs> r;
    r.A = k.stateMatrix(order);
    for (std::size_t in = 0; in < Inputs; ++in)
        r.B[in] = k.inputColumn(s.B[in]);
    for (std::size_t out = 0; out < Outputs; ++out) {
        r.C[out] = k.outputRow(s.C[out]);
        for (std::size_t in = 0; in < Inputs; ++in)
            r.D[out][in] = k.directTerm(s.C[out], s.B[in], s.D[out][in]);
    }
    return r;
}

// Forward Euler: A_d = I + T·A, B_d = T·B, C_d = C, D_d = D.
template <std::size_t N>
StateSpace<N> discretiseEuler(const StateSpace<N>& s, double T)
{
    StateSpace<N> r;
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = 0; j < N; ++j)
            r.A[i][j] = ((i == j) ? 1.0 : 0.0) + T * s.A[i][j];
        r.B[i] = T * s.B[i];
    }
    r.C = s.C;
    r.D = s.D;
    return r;
}

} // namespace brimtone
