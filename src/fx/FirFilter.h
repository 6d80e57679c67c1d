#pragma once

#include <array>

#include "convolution/Float4.h"
#include "fx/RingDelay.h"

namespace brimtone {

// Outputs computed side by side by weightedSums, in eight vectors of four.
inline constexpr int kWeightedSumWidth = 32;

// out[j] = sum over i of weight[i] * run(i)[j] for j = 0 .. kWeightedSumWidth - 1, where run(i)
// is the address of the first of term i's samples. The outputs are independent sums computed
// side by side; each one still adds its terms in order i = 0, 1, ..., so it equals the plain
// sequential sum exactly.
template <int Terms, class Run>
inline void weightedSums(const float* weight, Run run, float* out)
{
    Float4 sum[kWeightedSumWidth / 4] = {};
    for (int i = 0; i < Terms; ++i) {
        const Float4 w = broadcast4(weight[i]);
        const float* x = run(i);
        // Unrolled at every optimisation level, so that the sums stay in registers.
#pragma GCC unroll(kWeightedSumWidth / 4)
        for (int v = 0; v < kWeightedSumWidth / 4; ++v) {
            sum[v] += w * load4(x + 4 * v);
        }
    }
    for (int v = 0; v < kWeightedSumWidth / 4; ++v) {
        store4(out + 4 * v, sum[v]);
    }
}

// Direct-form float FIR of Taps coefficients with a history per channel (0 or 1), run one
// sample at a time or in blocks of up to MaxBlock samples.
template <int Taps, int MaxBlock = 1>
class FirFilter {
public:
    void setKernel(const std::array<float, Taps>& kernel)
    {
        coeff = kernel;
        for (int k = 0; k < Taps; ++k) {
            oldestFirst[kPadded - 1 - k] = kernel[k];
        }
    }

    // One sample. The products are added in four interleaved partial sums (every fourth tap),
    // which are then added together: a different association from the plain sequential sum,
    // so the result differs from it at float rounding level, but a chain of a quarter of the
    // dependent additions.
    float process(float x, int channel)
    {
        Line& line = history[channel];
        line.advance();
        const float* window = line.since(kPadded - 1); // window[kPadded - 1] receives x
        const Float4 newest = withLastLane(load4(window + kPadded - 4), x);
        line.write(x);
        Float4 sum = broadcast4(0.0f);
        for (int k = 0; k < kPadded - 4; k += 4) {
            sum += load4(oldestFirst.data() + k) * load4(window + k);
        }
        sum += load4(oldestFirst.data() + kPadded - 4) * newest;
        return horizontalSum(sum);
    }

    // count samples from in to out; count is a multiple of kWeightedSumWidth and at most
    // MaxBlock. Each output adds its products in tap order, newest sample first, exactly as the
    // plain sequential sum.
    void process(const float* in, float* out, int count, int channel)
    {
        Line& line = history[channel];
        for (int j = 0; j < count; ++j) {
            line.advance();
            line.write(in[j]);
        }
        // Output j meets in[j] with tap 0 and the sample k before it with tap k.
        const float* first = line.since(count - 1);
        for (int j = 0; j < count; j += kWeightedSumWidth) {
            weightedSums<Taps>(
                coeff.data(), [first, j](int k) { return first + j - k; }, out + j);
        }
    }

private:
    // The kernel padded with zeros to whole vectors, for the one-sample sum.
    static constexpr int kPadded = (Taps + 3) / 4 * 4;
    // Room for the padded window, and for a block and the Taps - 1 samples before it.
    using Line = RingDelay<(kPadded > Taps - 1 + MaxBlock) ? kPadded : Taps - 1 + MaxBlock>;

    std::array<float, Taps> coeff{};
    std::array<float, kPadded> oldestFirst{}; // coeff reversed, behind the zero padding
    std::array<Line, 2> history{};
};

} // namespace brimtone
