#include "amp/DriveOutputFilter.h"

namespace brimtone {

namespace {

// Continuous one-state section after the network, by flavour (1994, 2000, 2002) and
// Lead: pole p, input gain b, output gain c, direct term d. Lead ends in a high-pass
// (about 24 Hz for 1994, 13 Hz for 2002; 2000 Lead passes the signal unchanged), the
// other 2000/2002 settings in a shelf with its corner near 250 Hz.
struct SectionValues {
    double p, b, c, d;
};

constexpr SectionValues kSections[3][2] = {
    // not Lead, Lead
    {{-111.111, -111.111, 1.0, 1.0}, {-153.846, -153.846, 1.0, 1.0}},
    {{-1576.04372, -1576.04372, -0.350000259255, 0.99999974061}, {0.0, 0.0, 0.0, 1.0}},
    {{-1576.04372, -1576.04372, -0.2592594513, 0.7407405486}, {-83.3333, -83.3333, 1.0, 1.0}},
};

// The 2000 and 2002 networks are driven into their fourth state.
constexpr double kFourthStateInput = -44444.46666;

} // namespace

void DriveOutputFilter::setCoefficients(int ampMode, bool lead, double shape, double level, double T)
{
    if (T == T_ && shape == shape_ && level == level_ && lead == lead_ && ampMode == ampMode_)
        return;
    T_ = T;
    shape_ = shape;
    level_ = level;
    lead_ = lead;
    ampMode_ = ampMode;

    const int flavour = ampMode < 0 ? 0 : (ampMode > 2 ? 2 : ampMode);
    switch (flavour) {
    case 0:
        network_ = lead ? network1994Lead(shape, level) : network1994(shape, level);
        break;
    case 1:
        network_ = network2000(shape, level, lead);
        break;
    default:
        network_ = lead ? network2002Lead(shape, level) : network2002(level);
        break;
    }
    discrete_ = discretiseBilinear<4>(network_, T);
    section_ = discretiseBilinear<1>(section(flavour, lead), T);
    networkCoefficients_ = LaneStateSpace<4>(discrete_);
    sectionCoefficients_ = LaneStateSpace<1>(section_);
}

void DriveOutputFilter::refreshDisplayBlock()
{
    display_.network.assign(discrete_);
    display_.section.assign(section_);
}

StateSpace<1> DriveOutputFilter::section(int flavour, bool lead)
{
    const SectionValues& v = kSections[flavour][lead ? 1 : 0];
    StateSpace<1> s;
    s.A[0][0] = v.p;
    s.B[0] = v.b;
    s.C[0] = v.c;
    s.D = v.d;
    return s;
}

// The networks below are the symbolic solutions of the tone-shaping circuit around the
// Shape and Level potentiometers. Shorthand shared by all of them:
//   σ = 106383·S − 131383,  σ2 = 106383·S − 156383.

StateSpace<4> DriveOutputFilter::network2002Lead(double S, double L)
{
    const double SSq = S * S;
    const double LSq = L * L;
    const double sigma = 106383.0 * S - 131383.0;
    const double q = 8510640.0 * SSq;
    const double Q = q - 10510640.0 * S - 131383.0;
    const double u = 80.0 * S + 1.0;
    const double l1 = 9.52381e9 * L;
    const double l2 = 9.52381e9 * LSq;
    const double W = l2 - l1 - 10000952380.0;
    const double N1 = 1.756451415e12 * SSq - 2.381983415e12 * S - 29774792680.0;
    const double N2 = q - 14765960.0 * S - 131383.0;
    const double N3 = 6.524826836e12 * SSq - 8.058160836e12 * S - 1.15179101e12;
    const double l1Sum = l1 + 10000952380.0;
    const double Y = 4.052685916e16 * LSq * S + N2 * l1Sum;
    const double WQ = W * Q;

    StateSpace<4> s;
    s.A[0] = {48355909.09 * u / Q, -24177954.54 * u / Q, 48355909.09 / Q, 3868472727.0 * S / Q};
    s.A[1] = {-949848214.2 * u / Q,
              -0.1785714285 * ((q - 12510640.0 * S - 156383.0) * 1.013171479e15 * LSq - N1 * l1Sum) / WQ,
              -949848214.2 / Q, -17857.14285 * Y / WQ};
    s.A[2] = {1.06383e9 / Q, -5.31915e8 / Q, 10000.0 * (10617023.0 - 8510640.0 * S) / Q, 800000.0 * sigma / Q};
    s.A[3] = {5.67376e10 * S / Q, -6666.666666 * Y / WQ, 533333.3333 * sigma / Q,
              -0.06666666666 * ((5.673762836e12 * SSq - 7.007096836e12 * S - 1.13865271e12) * l2 - N3 * l1Sum) / WQ};
    s.B = {0.0, 0.0, 0.0, kFourthStateInput};
    s.C = {0.0, -952381.0 * L / W, 0.0, 952381.0 * L / W};
    s.D = 0.0;
    return s;
}

StateSpace<4> DriveOutputFilter::network2002(double L)
{
    const double LSq = L * L;
    const double W = 2.97177e9 * LSq - 2.97177e9 * L - 5000297177.0;
    const double Z = 2.97177e9 * L + 5000297177.0;

    StateSpace<4> s;
    s.A[0] = {-368.0530136, 184.0265068, -368.0530136, 0.0};
    s.A[1] = {7229.612767, -1.359166928e-06 * (4.943982987e19 * LSq - 8.848383566e19 * L - 1.488828118e20) / W,
              7229.612767, -17857.14285 * Z / W};
    s.A[2] = {-8097.1663, 4048.58315, -8097.1663, 0.0};
    s.A[3] = {0.0, -6666.666666 * Z / W, 0.0,
              -0.06666666666 * (1.98118099e15 * LSq - 2.27835799e15 * L - 3.833562835e15) / W};
    s.B = {0.0, 0.0, 0.0, kFourthStateInput};
    s.C = {0.0, -297177.0 * L / W, 0.0, 297177.0 * L / W};
    s.D = 0.0;
    return s;
}

StateSpace<4> DriveOutputFilter::network2000(double S, double L, bool lead)
{
    const double LSq = L * L;
    // Lead switches a 125 Ω path into the network; without it the path is an open 10 MΩ.
    const double R = lead ? 125.0 : 1e7;
    const double sigma = 106383.0 * S - 131383.0;
    const double sigma2 = 106383.0 * S - 156383.0;
    const double G1 = 106383.0 * R + 5e8;
    const double l = 9.0909e8 * L;
    const double l2 = 9.0909e8 * LSq;
    const double P1 = 2.582301711e14 * R;
    const double E = P1 + 1.000045454e18;
    const double X = l2 * G1 - l * G1 - E;
    const double Y = E + l * G1;
    const double U = 29774792680.0 - 21955642680.0 * S;

    StateSpace<4> s;
    s.A[0] = {48355909.09 / sigma, 24177954.54 / sigma, -48355909.09 / sigma, 0.0};
    s.A[1] = {949848214.2 / sigma, -0.1785714285 * ((9.671172147e13 * sigma2 * LSq + U * l) * G1 + E * U) / (X * sigma),
              -949848214.2 / sigma, -17857.14285 * Y / X};
    s.A[2]
        = {-1.06383e9 / sigma, -5.31915e8 / sigma, 10000.0 * (106383.0 * R - 10000.0 * sigma) / (sigma * R), 1e8 / R};
    s.A[3] = {0.0, -6666.666666 * Y / X, 66666666.66 / R,
              -0.06666666666 * ((666667.0 * R + 1e9) * l2 * G1 - (766667.0 * R + 1e9) * (l * G1 + E)) / (X * R)};
    s.B = {0.0, 0.0, 0.0, kFourthStateInput};
    s.C = {0.0, -90909.0 * L * G1 / X, 0.0, 90909.0 * L * G1 / X};
    s.D = 0.0;
    return s;
}

StateSpace<4> DriveOutputFilter::network1994Lead(double S, double L)
{
    const double LSq = L * L;
    const double sigma = 106383.0 * S - 131383.0;
    const double sigma2 = 106383.0 * S - 156383.0;
    const double la = 5.460616783e15 * L;
    const double lb = 1.04565023e23 * LSq;
    const double lc = 1.092123356e16 * L;
    const double Wd = 4.914555105e17 * LSq - 4.969161273e17 * L - 2.396507578e17;
    const double F = 17021280.0 * S - 30702133.0;
    const double V1 = lc * F + lb + 5.267049623e15 * F;
    const double Ws = Wd * sigma;

    // The fourth state is not coupled in the 1994 networks.
    StateSpace<4> s;
    s.A[0] = {-3030.30303
                  * ((8510640.0 * S - 11468087.0) * 5.460616783e16 * LSq + (125297893.0 - 93617040.0 * S) * la
                     - (93617040.0 * S - 125297893.0) * 2.633524811e15)
                  / Ws,
              -757.5757575 * V1 / Ws, -322372727.2 / sigma, 0.0};
    s.A[1] = {-4464.285714 * V1 / Ws,
              -0.08928571428
                  * ((2.696367833e12 - 1.987325183e12 * S) * lc + sigma2 * lb
                     - (1.987325183e12 * S - 2.696367833e12) * 5.267049623e15)
                  / Ws,
              949848214.2 / sigma, 0.0};
    s.A[2] = {-48355909.08 / sigma, 24177954.54 / sigma, 48355909.08 / sigma, 0.0};
    s.B = {-2424242.424 * (5.460616783e15 * LSq - la - 2.633524811e15) / Wd, 178571.4285 * (la + 2.633524811e15) / Wd,
           0.0, 0.0};
    s.C = {4.368493426e13 * L / Wd, -4.914555105e13 * L / Wd, 0.0, 0.0};
    s.D = -5.460616783e12 * L / Wd;
    return s;
}

StateSpace<4> DriveOutputFilter::network1994(double S, double L)
{
    const double LSq = L * L;
    const double sigma = 106383.0 * S - 131383.0;
    const double sigma2 = 106383.0 * S - 156383.0;
    const double Wn = 113173426800.0 * LSq - 124490769500.0 * L - 1.17033749e11;

    StateSpace<4> s;
    s.A[0] = {322372727.2 / sigma, -161186363.6 / sigma, -322372727.2 / sigma, 0.0};
    s.A[1] = {-949848214.2 / sigma,
              -17.85714285
                  * (1.203972866e14 * sigma2 * LSq + (628768839.0 - 461747539.0 * S) * 56586713440.0 * L
                     - (461747539.0 * S - 628768839.0) * 53197158650.0)
                  / (sigma * Wn),
              949848214.2 / sigma, 0.0};
    s.A[2] = {-48355909.09 / sigma, 24177954.54 / sigma, 48355909.09 / sigma, 0.0};
    s.B = {0.0, 178571.4285 * (11317342680.0 * L + 10639431730.0) / Wn, 0.0, 0.0};
    s.C = {0.0, -11317342.68 * L / Wn, 0.0, 0.0};
    s.D = -11317342.68 * L / Wn;
    return s;
}

} // namespace brimtone
