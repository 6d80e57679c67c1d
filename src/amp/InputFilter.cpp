#include "amp/InputFilter.h"

namespace brimtone {

namespace {

// Continuous networks of the two input stages (rad/s scale).
constexpr StateSpace<2> kNetwork1994 = {
    {{{-95.68486681, 214.1525382}, {-309.837405, -319.7258298}}},
    {-95.68486681, -309.837405},
    {3.880869869, 4.036642265},
    3.880869869,
};

constexpr StateSpace<2> kNetwork2000 = {
    {{{-312.8914893, -306.138431}, {0.0, -211.5956802}}},
    {-306.138431, -211.5956802},
    {3.235301235, 4.143891793},
    4.143891793,
};

} // namespace

void InputFilter::setCoefficients(bool notMode1994, double T)
{
    setContinuous(notMode1994 ? kNetwork2000 : kNetwork1994, T);
}

} // namespace brimtone
