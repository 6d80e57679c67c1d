#include "convolution/ShortConvolver.h"

#include "convolution/Float4.h"
#include "convolution/FrequencyBins.h"

#include <algorithm>

namespace brimtone {

ShortConvolver::ShortConvolver() { reset(); }

void ShortConvolver::reset()
{
    ring_.fill(0.0f);
    scratch_.fill(0.0f);
    block_.fill(0.0f);
    position_ = 0;
    windowSpectra_.clear();
    inlineOutput_.clear();
    newestWindow_ = 0;
    blockJob_.clear();
}

void ShortConvolver::setImpulseResponse(const float* response)
{
    reset();
    std::reverse_copy(response, response + directTapCount, reversedTaps_.begin());
    // Each segment is at least as long as the one before, so the scratch
    // beyond the copy is still zero: the zero padding up to the FFT size.
    for (int k = 0; k < inlinePartitionCount; ++k) {
        const float* segment = response + (k + 1) * segmentLength;
        std::copy(segment, segment + segmentLength, scratch_.begin());
        float* spectrum = inlineSpectra_.data() + k * inlineFftSize;
        inlinePlan_.forward(spectrum, scratch_.data());
        inlinePlan_.rescale(spectrum);
    }
    std::copy(response + 2 * blockLength, response + 3 * blockLength, scratch_.begin());
    partitionA_.load(scratch_.data(), blockPlan_);
    std::copy(response + 3 * blockLength, response + 4 * blockLength, scratch_.begin());
    partitionB_.load(scratch_.data(), blockPlan_);
}

// Sum of taps[k] * ring[position + 1024 - k] for k = 0 ... 63, the newest
// sample x (not yet stored at ring[position + 1024]) meeting taps[0].
float ShortConvolver::directTaps(int position, float x) const
{
    const float* samples = ring_.data() + position + ringLength - (directTapCount - 1);
    Float4 sum0 = broadcast4(0.0f);
    Float4 sum1 = broadcast4(0.0f);
    constexpr int last = directTapCount - 8;
    for (int k = 0; k < last; k += 8) {
        sum0 += load4(reversedTaps_.data() + k) * load4(samples + k);
        sum1 += load4(reversedTaps_.data() + k + 4) * load4(samples + k + 4);
    }
    sum0 += load4(reversedTaps_.data() + last) * load4(samples + last);
    sum1 += load4(reversedTaps_.data() + last + 4) * withLastLane(load4(samples + last + 4), x);
    return horizontalSum(sum0 + sum1);
}

void ShortConvolver::runInlinePartitions(const float* window)
{
    newestWindow_ = newestWindow_ == 0 ? inlinePartitionCount - 1 : newestWindow_ - 1;
    float* newest = windowSpectra_.data() + newestWindow_ * inlineFftSize;
    inlinePlan_.forward(newest, window);
    multiplyPackedSpectra(inlineProduct_.data(), newest, inlineSpectra_.data(), inlineFftSize);
    for (int k = 1; k < inlinePartitionCount; ++k) {
        const int slot = (newestWindow_ + k) % inlinePartitionCount;
        multiplyAddPackedSpectra(inlineProduct_.data(), windowSpectra_.data() + slot * inlineFftSize,
                                 inlineSpectra_.data() + k * inlineFftSize, inlineFftSize);
    }
    inlinePlan_.inverse(inlineProduct_.data(), inlineOutput_.data());
}

float ShortConvolver::process(float x)
{
    const int p = position_;
    float y = inlineOutput_[(p & (segmentLength - 1)) + segmentLength] + block_[p & (blockLength - 1)];
    y += directTaps(p, x);
    ring_[p] = x;
    ring_[p + ringLength] = x;

    const int next = (p + 1) & (ringLength - 1);
    position_ = next;
    if ((next & (segmentLength - 1)) != 0)
        return y;
    runInlinePartitions(ring_.data() + next + ringLength - inlineFftSize);
    if ((next & (blockLength - 1)) != 0)
        return y;

    // The last job's result is due now.
    const float* result = blockJob_.output() + blockLength;
    std::copy(result, result + blockLength, block_.begin());
    blockJob_.run(ring_.data() + next + ringLength - 2 * blockLength);
    return y;
}

} // namespace brimtone
