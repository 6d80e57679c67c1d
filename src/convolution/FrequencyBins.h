#pragma once
// PackedSpectrum, the layout of every spectrum of the convolution engine. The
// spectrum of N real samples is N floats: element 0 is the real DC term,
// elements 1 ... N/2 are the real parts of bins 1 ... N/2 (element N/2 is the
// real Nyquist term) and element N/2 + k is the imaginary part of bin k for
// k = 1 ... N/2 - 1. Real and imaginary parts thus lie in two contiguous runs.

namespace brimtone {

// product = x * h, bin by bin: DC and Nyquist as reals, every other bin as a
// complex product. `product` may be the same buffer as `x`.
void multiplyPackedSpectra(float* product, const float* x, const float* h, int size);

// sum += x * h, bin by bin, with the products formed as in multiplyPackedSpectra.
void multiplyAddPackedSpectra(float* sum, const float* x, const float* h, int size);

} // namespace brimtone
