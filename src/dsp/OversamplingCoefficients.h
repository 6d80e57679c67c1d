#pragma once

#include <array>
#include <cstddef>

namespace brimtone {

// Constant filter designs shared by the amplifier's oversampling filters and the
// single-precision rate filters of the cabinet and spring reverb.

// Polyphase IIR half-band: two branches of four first-order all-pass sections.
// Branch A uses the even entries (sections 0..3), branch B the odd ones.
inline constexpr std::array<double, 8> kHalfBandCoeffs
    = {0.029224847909498444, 0.11100633018519479, 0.23034569682098943, 0.36934599510310256,
       0.5132320320968043,   0.6537278571840232,  0.789787692015113,   0.9271638358417171};

namespace detail {

// Builds a kernel of length N from its first Given values with kernel[n] = kernel[Centre - n]
// for the mirrored entries.
template <std::size_t N, std::size_t Given, std::size_t Centre>
constexpr std::array<double, N> mirrorKernel(const std::array<double, Given>& head)
{
    std::array<double, N> kernel{};
    for (std::size_t n = 0; n < N; ++n) {
        kernel[n] = n < Given ? head[n] : head[Centre - n];
    }
    return kernel;
}

} // namespace detail

// 40-tap kernel for 4x (4 phases of 10 taps). Entries 1..39 are symmetric about entry 20
// (h4[n] = h4[40 - n]); the sum is 0.99979, each phase sums to about 1/4.
inline constexpr std::array<double, 40> kKernel4x = detail::mirrorKernel<40, 21, 40>(std::array<double, 21>{
    -7.111575987489e-05, -0.0002893544544052, -0.0006991498583572, -0.00117931033888, -0.001342357672754,
    -0.0006016779803501, 0.001486891313233,   0.004678671926338,   0.007605322379221, 0.007908022733745,
    0.003241060504246,   -0.007037083536248,  -0.02027015214415,   -0.03011149870485, -0.02812444850665,
    -0.007214589137064,  0.03442691499253,    0.09086103208369,    0.1490551210802,   0.1929171830684,
    0.2092364495061});

// 80-tap symmetric kernel for the 8x part of 16x (8 phases of 10 taps, h16[79 - n] = h16[n]);
// the sum is 1.0001, each phase sums to about 1/8.
inline constexpr std::array<double, 80> kKernel16x = detail::mirrorKernel<80, 40, 79>(std::array<double, 40>{
    -5.209750513827e-06, -1.563664577118e-05, -3.60597443816e-05, -6.938765443094e-05, -0.0001168479582324,
    -0.0001758735034237, -0.0002381531342617, -0.000288202482375, -0.000303149800459,  -0.0002544233985412,
    -0.0001118279466691, 0.0001499053544536,  0.0005426015202616, 0.001055331369699,   0.001646140731779,
    0.002237047934574,   0.00271465314972,    0.002938218587228,  0.002756197870744,   0.002030717973649,
    0.0006678625659938,  -0.001350097721266,  -0.003935749023775, -0.006876702726794,  -0.009830480609544,
    -0.01233834108823,   -0.01385987231532,   -0.01382707046305,  -0.01171320477853,   -0.007108612727801,
    0.0002066762377259,  0.01020449475956,    0.02257447092918,   0.03672200697379,    0.05180195557239,
    0.066786719636,      0.08056237614987,    0.09204193053073,   0.1002817549679,     0.1045861596209});

// The same table in another precision (each entry rounded to nearest).
template <typename T, std::size_t N>
constexpr std::array<T, N> convertTable(const std::array<double, N>& table)
{
    std::array<T, N> converted{};
    for (std::size_t n = 0; n < N; ++n) {
        converted[n] = static_cast<T>(table[n]);
    }
    return converted;
}

} // namespace brimtone
