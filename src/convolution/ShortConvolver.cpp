#include "convolution/ShortConvolver.h"

#include "convolution/Float4.h"
#include "convolution/PackedSpectrum.h"

#include <algorithm>

namespace brimtone {

ShortConvolver::InlineJob::InlineJob(RealFftPlan& fftPlan)
    : plan(fftPlan), record(fftPlan.size()), work(fftPlan.size())
{
}

void ShortConvolver::InlineJob::run(const float* window)
{
    plan.forward(work.data(), window);
    multiplyPackedSpectra(work.data(), work.data(), record.spectrum.data(), plan.size());
    plan.inverse(work.data(), record.output.data());
}

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
    accumulator_.fill(0.0f);
    position_ = 0;
    for (InlineJob* job : {&inline0_, &inline1_, &inline2_})
        job->record.output.clear();
    partitionA_.output.clear();
    partitionB_.output.clear();
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
    for (InlineJob* job : {&inline0_, &inline1_, &inline2_}) {
        const int length = job->plan.size() / 2;
        std::copy(response + length, response + 2 * length, scratch_.begin());
        job->record.load(scratch_.data(), job->plan);
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

float ShortConvolver::process(float x)
{
    const int p = position_;
    ring_[p] = x;
    ring_[p + ringLength] = x;
    float y = inline0_.record.output[(p & 63) + 64] + accumulator_[p] + inline1_.record.output[(p & 127) + 128]
        + inline2_.record.output[(p & 255) + 256];
    y += directTaps(p);

    const int next = (p + 1) & (ringLength - 1);
    position_ = next;
    if ((next & 63) != 0)
        return y;
    inline0_.run(ring_.data() + next + ringLength - 128);
    if ((next & 127) != 0)
        return y;
    inline1_.run(ring_.data() + next + ringLength - 256);
    if ((next & 255) != 0)
        return y;
    inline2_.run(ring_.data() + next + ringLength - 512);
    if (!worker_.running())
        return y;

    // The worker's last job: A's block is due now, B's one block later (the
    // block B lands in holds nothing that is still to be read).
    worker_.waitUntilDone();
    const float* outA = partitionA_.output.data() + blockLength;
    const float* outB = partitionB_.output.data() + blockLength;
    float* dueNow = accumulator_.data() + next;
    float* dueNext = accumulator_.data() + ((next + blockLength) & (ringLength - 1));
    for (int i = 0; i < blockLength; i += 4) {
        store4(dueNow + i, load4(dueNow + i) + load4(outA + i));
        store4(dueNext + i, load4(outB + i));
    }
    worker_.begin(ring_.data() + next + ringLength - 2 * blockLength);
    return y;
}

} // namespace brimtone
