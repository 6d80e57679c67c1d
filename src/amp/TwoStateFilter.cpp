#include "amp/TwoStateFilter.h"

namespace brimtone {

TwoStateFilter::TwoStateFilter()
    : T_(1.0 / 44100.0), a11_(0.9978302751290249), a12_(0.00485606662585034), a21_(-0.00702579149659864),
      a22_(0.9927499811836735), b1_(-0.002169724870975057), b2_(-0.00702579149659864), c1_(3.880869869),
      c2_(4.036642265), d_(3.880869869)
{}

StateSpace<2> TwoStateFilter::discrete() const
{
    StateSpace<2> s;
    s.A = {{{a11_.value(), a12_.value()}, {a21_.value(), a22_.value()}}};
    s.B = {b1_.value(), b2_.value()};
    s.C = {c1_.value(), c2_.value()};
    s.D = d_.value();
    return s;
}

void TwoStateFilter::setContinuous(const StateSpace<2>& continuous, double T)
{
    const StateSpace<2> s = discretiseEuler<2>(continuous, T);
    T_ = T;
    a11_ = s.A[0][0];
    a12_ = s.A[0][1];
    a21_ = s.A[1][0];
    a22_ = s.A[1][1];
    b1_ = s.B[0];
    b2_ = s.B[1];
    c1_ = s.C[0];
    c2_ = s.C[1];
    d_ = s.D;
}

} // namespace brimtone
