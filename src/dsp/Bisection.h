#pragma once

#include <cmath>

namespace brimtone {

// Root of a function f that changes sign once on [lo, hi], by halving the interval:
// mid = (lo + hi)/2 until |f(mid)| <= residualTolerance or hi − lo <= widthTolerance; the
// half whose end keeps the sign of f(lo) is dropped. Returns the last mid. Used only
// while building curve tables.
template <class Function>
double bisectRoot(const Function& f, double lo, double hi, double residualTolerance, double widthTolerance)
{
    const bool lowNegative = f(lo) < 0.0;
    for (;;) {
        const double mid = (lo + hi) / 2.0;
        const double fMid = f(mid);
        if (std::fabs(fMid) <= residualTolerance || hi - lo <= widthTolerance)
            return mid;
        if ((fMid < 0.0) == lowNegative)
            lo = mid;
        else
            hi = mid;
    }
}

} // namespace brimtone
