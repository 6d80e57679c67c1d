#include "convolution/ShortConvolver.h"

#include "convolution/Float4.h"
#include "convolution/FrequencyBins.h"

#include <algorithm>

namespace brimtone {

ShortConvolver::ShortConvolver()
{
    reset();
}

ShortConvolver::~ShortConvolver()
{
    stopWorker();
}

void ShortConvolver::stopWorker()
{
    stop_.set();
    worker_.joinThread();
    stop_.reset();
}

void ShortConvolver::reset()
{
    ring_.fill(0.0f);
    scratch_.fill(0.0f);
    workerBlock_.fill(0.0f);
    position_ = 0;
    windowSpectra_.clear();
    inlineOutput_.clear();
    newestWindow_ = 0;
    worker_.markIdle();
}

// A reload keeps the worker thread: it waits for the worker's last job (done
// is signalled whenever no job runs or is pending), after which the worker
// only waits for a start and touches nothing the load writes. So a reload on
// the audio thread (a cabinet family change) starts no thread and allocates
// nothing.
void ShortConvolver::setImpulseResponse(const float* response)
{
    const bool workerRunning = worker_.running();
    if (workerRunning)
        worker_.waitUntilDone();
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
    partitionA_.load(scratch_.data(), workerPlan_);
    std::copy(response + 3 * blockLength, response + 4 * blockLength, scratch_.begin());
    partitionB_.load(scratch_.data(), workerPlan_);
    if (!workerRunning)
        worker_.startThread();
}

// Sum of taps[k] * ring[position + 1024 - k] for k = 0 ... 63, the newest
// sample meeting taps[0].
float ShortConvolver::directTaps(int position) const
{
    const float* samples = ring_.data() + position + ringLength - (directTapCount - 1);
    Float4 sum0 = broadcast4(0.0f);
    Float4 sum1 = broadcast4(0.0f);
    for (int k = 0; k < directTapCount; k += 8) {
        sum0 += load4(reversedTaps_.data() + k) * load4(samples + k);
        sum1 += load4(reversedTaps_.data() + k + 4) * load4(samples + k + 4);
    }
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
    ring_[p] = x;
    ring_[p + ringLength] = x;
    float y = inlineOutput_[(p & (segmentLength - 1)) + segmentLength] + workerBlock_[p & (blockLength - 1)];
    y += directTaps(p);

    const int next = (p + 1) & (ringLength - 1);
    position_ = next;
    if ((next & (segmentLength - 1)) != 0)
        return y;
    runInlinePartitions(ring_.data() + next + ringLength - inlineFftSize);
    if ((next & (blockLength - 1)) != 0 || !worker_.running())
        return y;

    // The worker's last job is due now.
    worker_.waitUntilDone();
    const float* result = worker_.output() + blockLength;
    std::copy(result, result + blockLength, workerBlock_.begin());
    worker_.begin(ring_.data() + next + ringLength - 2 * blockLength);
    return y;
}

} // namespace brimtone
