#pragma once

#include <array>
#include <cstddef>

namespace brimtone {

// Constant data of the room ambience.

// Jitter added to each of the 48 reflection times, in seconds.
inline constexpr std::array<float, 48> kAmbienceTapJitter = {
    -0.000313542f, -2.60183e-05f, 0.000124028f,  0.00016264f,   8.98167e-05f,  0.000113892f,
    4.9e-07f,      4.64867e-05f,  -3.45767e-05f, 2.2925e-05f,   -0.000114342f, -0.000212002f,
    -0.00019193f,  -0.000267668f, -0.000267342f, -0.000310742f, -0.000199952f, -0.000164138f,
    2.5865e-05f,   0.000385683f,  0.000410108f,  0.000614765f,  0.000426737f,  0.00045019f,
    0.000232f,     0.000266958f,  0.000268607f,  8.0695e-05f,   6.78067e-05f,  -0.000134642f,
    -6.83167e-05f, -0.000280093f, -0.000264763f, -0.00010566f,  -0.000318408f, -0.000153008f,
    -0.000432377f, -0.000213805f, -0.000460835f, -0.000251592f, -0.000440242f, -0.000141368f,
    8.25283e-05f,  -7.58433e-05f, 0.000305392f,  0.000116858f,  0.000452307f,  0.000327362f};

namespace detail {

// The colour kernel is stored as integers over a common denominator.
inline constexpr float kColourDenominator = 219.0f;
inline constexpr std::array<int, 70> kColourNumerators = {
    111, 42,  -91, 56,  123, -89, 89,  219, 65,  19,  -21,  156, -7,  -22, -25, 42,  68, 80,
    -87, -91, 26,  22,  59,  -34, -118, 42, -10, 23,  47,   -23, -103, 7,  -31, -51, 78, 21,
    -20, -104, 1,  -28, -30, 20,  16,  -18, -13, -14, 21,   -46, -48, -35, -28, 57,  -17, -49,
    -59, 20,  -44, -7,  -1,  -12, 52,  -13, -14, -17, 14,   -8,  -13, -30, -19, 12};

constexpr std::array<float, 70> makeColourKernel() {
  std::array<float, 70> kernel{};
  for (std::size_t k = 0; k < kernel.size(); ++k) {
    kernel[k] = static_cast<float>(kColourNumerators[k]) / kColourDenominator;
  }
  return kernel;
}

}  // namespace detail

// 70-tap FIR that colours the summed early reflections.
inline constexpr std::array<float, 70> kAmbienceColourKernel = detail::makeColourKernel();

// 22-tap FIR that colours the direct path.
inline constexpr std::array<float, 22> kAmbienceDirectKernel = {
    -0.125477f,    0.01348544f,  0.09440545f,  -0.03932822f,  -0.01727106f, 0.04137053f,
    -0.001349072f, -0.008029494f, -0.01193442f, 0.04528848f,   -0.002550227f, -0.008056274f,
    -0.01199115f,  0.04195325f,  -0.1025981f,  0.06491851f,   0.006359299f, -0.05322496f,
    0.07951783f,   -0.08154409f, 0.0623789f,   -0.04469319f};

}  // namespace brimtone
