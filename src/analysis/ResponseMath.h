#pragma once
// Frequency response of the tone-shaping chain for the editor's response view, evaluated
// exactly from the single-precision display blocks of the filters: for a block with n
// states H(z) = C·(z·I − A)⁻¹·B + D, the inverse formed as adjugate · (1/det), and for
// the drive filter's one-state section c·b/(z − a) + d. Everything runs in complex
// single precision with the products and quotients written out, so that a singular
// point (z on an eigenvalue of A) gives NaN rather than a recovered infinity: the
// view then shows that point at its floor.

#include "amp/DisplayBlock.h"
#include "amp/DriveOutputFilter.h"

#include <complex>

namespace brimtone {

// (Re a·Re b − Im a·Im b, Re a·Im b + Im a·Re b), no recovery of infinities.
std::complex<float> complexMultiply(std::complex<float> a, std::complex<float> b);

// p / s by the scaled method: the larger part of s is divided into the smaller one so
// that nothing overflows on the way. s with a NaN part, s = 0, or a zero or NaN scale
// gives NaN in both parts.
std::complex<float> complexDivide(std::complex<float> p, std::complex<float> s);

// C·(z·I − A)⁻¹·B + D of a two-, three- or four-state block.
std::complex<float> blockResponseAt(const DisplayBlock<2>& block, std::complex<float> z);
std::complex<float> blockResponseAt(const DisplayBlock<3>& block, std::complex<float> z);
std::complex<float> blockResponseAt(const DisplayBlock<4>& block, std::complex<float> z);
// c·b/(z − a) + d of a one-state section.
std::complex<float> blockResponseAt(const DisplayBlock<1>& section, std::complex<float> z);

// |h|² = Re² + Im².
float squaredMagnitude(std::complex<float> h);

// |H(z)|² of the linear tone shaping of a channel (0 Bypass, 1 Clean, 2 Drive, 3 Lead):
// 1 in Bypass, tonestack × clean output filter in Clean, tonestack × drive output
// network × its one-state section in Drive and Lead.
float toneResponseAt(int channel, const DisplayBlock<3>& tonestack, const DisplayBlock<2>& clean,
                     const DriveOutputFilter::Display& drive, std::complex<float> z);

} // namespace brimtone
