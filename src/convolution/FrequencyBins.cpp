#include "convolution/FrequencyBins.h"

#include "convolution/Float4.h"

namespace brimtone {

void multiplyPackedSpectra(float* product, const float* x, const float* h, int size)
{
    const int half = size / 2;
    // DC and Nyquist share slot 0 of the real and imaginary runs; take them
    // first, run the complex product over all slots, then put them back.
    const float dc = x[0] * h[0];
    const float nyquist = x[half] * h[half];
    for (int k = 0; k < half; k += 4) {
        const Float4 xr = load4(x + k);
        const Float4 xi = load4(x + half + k);
        const Float4 hr = load4(h + k);
        const Float4 hi = load4(h + half + k);
        store4(product + k, xr * hr - xi * hi);
        store4(product + half + k, xr * hi + xi * hr);
    }
    product[0] = dc;
    product[half] = nyquist;
}

void multiplyAddPackedSpectra(float* sum, const float* x, const float* h, int size)
{
    const int half = size / 2;
    const float dc = sum[0] + x[0] * h[0];
    const float nyquist = sum[half] + x[half] * h[half];
    for (int k = 0; k < half; k += 4) {
        const Float4 xr = load4(x + k);
        const Float4 xi = load4(x + half + k);
        const Float4 hr = load4(h + k);
        const Float4 hi = load4(h + half + k);
        store4(sum + k, load4(sum + k) + (xr * hr - xi * hi));
        store4(sum + half + k, load4(sum + half + k) + (xr * hi + xi * hr));
    }
    sum[0] = dc;
    sum[half] = nyquist;
}

} // namespace brimtone
