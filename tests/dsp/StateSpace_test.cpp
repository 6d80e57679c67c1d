#include "dsp/StateSpace.h"

#include <gtest/gtest.h>

#include <cmath>

namespace brimtone {
namespace {

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

} // namespace
} // namespace brimtone
