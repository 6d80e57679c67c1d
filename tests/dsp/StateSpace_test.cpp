#include "dsp/StateSpace.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brimtone {
namespace {

// Transfer function C·(sI − A)⁻¹·B + D at a real point s (or z for a discrete system).
template <std::size_t N>
double transferAt(const StateSpace<N>& s, double point)
{
    Matrix<N> m{};
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j)
            m[i][j] = ((i == j) ? point : 0.0) - s.A[i][j];
    return dot<N>(multiply<N>(s.C, inverse<N>(m)), s.B) + s.D;
}

StateSpace<3> thirdOrderExample()
{
    StateSpace<3> s;
    s.A = {{{-1200.0, 300.0, 50.0}, {400.0, -900.0, 20.0}, {10.0, 250.0, -3000.0}}};
    s.B = {1.5, -2.0, 700.0};
    s.C = {0.3, 1.1, -0.02};
    s.D = 0.25;
    return s;
}

StateSpace<4> fourthOrderExample()
{
    StateSpace<4> s;
    s.A = {{{-5000.0, 1000.0, 0.0, 200.0},
            {300.0, -800.0, 40.0, 0.0},
            {0.0, 600.0, -2500.0, 90.0},
            {15.0, 0.0, 700.0, -12000.0}}};
    s.B = {100.0, 0.0, -30.0, 4000.0};
    s.C = {0.01, -0.2, 0.5, 0.003};
    s.D = -0.1;
    return s;
}

template <std::size_t N>
void expectInverse(const Matrix<N>& m)
{
    const Matrix<N> p = multiply<N>(m, inverse<N>(m));
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j)
            EXPECT_NEAR(p[i][j], (i == j) ? 1.0 : 0.0, 1e-12) << i << "," << j;
}

TEST(StateSpace, InverseAndDeterminantOfTwoToFourStates)
{
    const Matrix<2> m2 = {{{3.0, 1.0}, {4.0, 2.0}}};
    EXPECT_DOUBLE_EQ(determinant<2>(m2), 2.0);
    const Matrix<2> i2 = inverse<2>(m2);
    EXPECT_DOUBLE_EQ(i2[0][0], 1.0);
    EXPECT_DOUBLE_EQ(i2[0][1], -0.5);
    EXPECT_DOUBLE_EQ(i2[1][0], -2.0);
    EXPECT_DOUBLE_EQ(i2[1][1], 1.5);

    const Matrix<3> m3 = {{{2.0, 0.0, 1.0}, {1.0, 3.0, 2.0}, {1.0, 1.0, 4.0}}};
    EXPECT_DOUBLE_EQ(determinant<3>(m3), 18.0);
    expectInverse<3>(m3);
    expectInverse<3>(thirdOrderExample().A);

    // Upper triangular: the determinant is the product of the diagonal.
    const Matrix<4> m4 = {{{2.0, 5.0, -1.0, 3.0}, {0.0, 3.0, 7.0, 1.0}, {0.0, 0.0, -4.0, 2.0}, {0.0, 0.0, 0.0, 0.5}}};
    EXPECT_DOUBLE_EQ(determinant<4>(m4), -12.0);
    expectInverse<4>(m4);
    Matrix<4> scaled = fourthOrderExample().A;
    for (auto& row : scaled)
        for (double& e : row)
            e *= 1e-3;
    expectInverse<4>(scaled);
}

// The trapezoidal rule maps s = α·(z − 1)/(z + 1): the discrete transfer function at z
// equals the continuous one at that s. Checked at real points, DC (z = 1) included.
template <std::size_t N>
void expectBilinearMapping(const StateSpace<N>& continuous, double T, ProductOrder order)
{
    const StateSpace<N> discrete = discretiseBilinear<N>(continuous, T, order);
    const double alpha = 2.0 / T;
    for (double z : {1.0, 0.9, 0.5, -0.3, 1.7}) {
        const double s = alpha * (z - 1.0) / (z + 1.0);
        const double expected = transferAt<N>(continuous, s);
        EXPECT_NEAR(transferAt<N>(discrete, z), expected, 1e-9 * (1.0 + std::fabs(expected))) << "z = " << z;
    }
}

TEST(StateSpace, BilinearRuleMapsTheTransferFunction)
{
    const double T = 1.0 / 44100.0;
    for (ProductOrder order : {ProductOrder::InverseLeft, ProductOrder::InverseRight}) {
        StateSpace<2> s2;
        s2.A = {{{-95.68486681, 214.1525382}, {-309.837405, -319.7258298}}};
        s2.B = {-95.68486681, -309.837405};
        s2.C = {3.880869869, 4.036642265};
        s2.D = 3.880869869;
        expectBilinearMapping<2>(s2, T, order);
        expectBilinearMapping<3>(thirdOrderExample(), T / 4.0, order);
        expectBilinearMapping<4>(fourthOrderExample(), T / 16.0, order);
    }
}

TEST(StateSpace, SeveralInputsAndOutputsMatchTheSingleChannelRule)
{
    const StateSpace<3> base = thirdOrderExample();
    StateSpaceMimo<3, 2, 2> mimo;
    mimo.A = base.A;
    mimo.B = {base.B, Vector<3>{0.0, 50.0, -7.0}};
    mimo.C = {base.C, Vector<3>{1.0, 0.0, 2.0}};
    mimo.D = {{{base.D, 0.0}, {-1.0, 3.0}}};
    const double T = 1.0 / 96000.0;
    const auto d = discretiseBilinear<3, 2, 2>(mimo, T);
    for (std::size_t out = 0; out < 2; ++out)
        for (std::size_t in = 0; in < 2; ++in) {
            StateSpace<3> single;
            single.A = mimo.A;
            single.B = mimo.B[in];
            single.C = mimo.C[out];
            single.D = mimo.D[out][in];
            const StateSpace<3> ds = discretiseBilinear<3>(single, T);
            for (std::size_t i = 0; i < 3; ++i) {
                EXPECT_DOUBLE_EQ(d.A[i][0], ds.A[i][0]);
                EXPECT_DOUBLE_EQ(d.B[in][i], ds.B[i]);
                EXPECT_DOUBLE_EQ(d.C[out][i], ds.C[i]);
            }
            EXPECT_DOUBLE_EQ(d.D[out][in], ds.D);
        }
}

TEST(StateSpace, ForwardEulerRule)
{
    StateSpace<2> s;
    s.A = {{{-312.8914893, -306.138431}, {0.0, -211.5956802}}};
    s.B = {-306.138431, -211.5956802};
    s.C = {3.235301235, 4.143891793};
    s.D = 4.143891793;
    const double T = 0.001;
    const StateSpace<2> d = discretiseEuler<2>(s, T);
    EXPECT_DOUBLE_EQ(d.A[0][0], 1.0 - 0.3128914893);
    EXPECT_DOUBLE_EQ(d.A[0][1], T * -306.138431);
    EXPECT_DOUBLE_EQ(d.A[1][0], 0.0);
    EXPECT_DOUBLE_EQ(d.A[1][1], 1.0 - 0.2115956802);
    EXPECT_DOUBLE_EQ(d.B[1], T * -211.5956802);
    EXPECT_EQ(d.C, s.C);
    EXPECT_EQ(d.D, s.D);
}

} // namespace
} // namespace brimtone
