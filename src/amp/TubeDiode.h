#pragma once

namespace brimtone {

// The diode junction of the flavour stages (a tube's grid-cathode path and the 1994
// clipper diodes): I = Is·(exp(x/Vt) − 1). The curves built on it solve their implicit
// equations by Newton's method, which converges in a few steps from the neighbouring
// grid point's solution; the limit only guards against a runaway and keeps the last
// iterate.
struct TubeDiode {
    static constexpr double kIs = 6.2229e-9;
    static constexpr double kInverseVt = 20.123137503008405;
    static constexpr double kIsOverVt = 1.25224272367471e-07;
    static constexpr int kNewtonIterationLimit = 100;
};

} // namespace brimtone
