#include "convolution/LongConvolver.h"

#include "convolution/RealFft.h"

#include <algorithm>

namespace brimtone {

LongConvolver::Pair::Pair(int segment, platform::Event& stop)
    : segmentLength(segment), plan(createRealFftPlan(2 * segment)), partitionA(2 * segment),
      partitionB(2 * segment), worker(*plan, partitionA, partitionB, stop)
{
}

LongConvolver::LongConvolver()
{
    for (int j = 0; j < pairCount; ++j)
        pairs_[j] = std::make_unique<Pair>(firstSegmentLength << j, stop_);
    clearHistory();
}

LongConvolver::~LongConvolver()
{
    stopWorkers();
}

void LongConvolver::stopWorkers()
{
    stop_.set();
    for (auto& pair : pairs_)
        pair->worker.joinThread();
    stop_.reset();
}

void LongConvolver::clearHistory()
{
    ring_.clear();
    accumulator_.clear();
    scratch_.clear();
    position_ = 0;
    counter_ = 0;
    for (auto& pair : pairs_) {
        pair->positionA = -1;
        pair->positionB = -1;
        pair->partitionA.output.clear();
        pair->partitionB.output.clear();
        pair->worker.markIdle();
    }
}

void LongConvolver::reset()
{
    for (auto& pair : pairs_)
        pair->worker.waitUntilDone();
    clearHistory();
}

void LongConvolver::setImpulseResponse(const float* response)
{
    stopWorkers();
    clearHistory();
    // Each segment is at least as long as the one before, so the scratch
    // beyond the copy is still zero: the zero padding up to the FFT size.
    for (auto& pair : pairs_) {
        const int length = pair->segmentLength;
        std::copy(response + 2 * length, response + 3 * length, scratch_.data());
        pair->partitionA.load(scratch_.data(), *pair->plan);
        std::copy(response + 3 * length, response + 4 * length, scratch_.data());
        pair->partitionB.load(scratch_.data(), *pair->plan);
    }
    for (auto& pair : pairs_)
        pair->worker.startThread();
}

// Adds the pair's finished job into the accumulator and starts the next one
// on the 2L most recent samples.
void LongConvolver::collect(Pair& pair)
{
    const int length = pair.segmentLength;
    pair.worker.waitUntilDone();
    const float* outA = pair.partitionA.output.data() + length;
    const float* outB = pair.partitionB.output.data() + length;
    for (int i = 0; i < length; ++i) {
        accumulator_[(pair.positionA + i) & ringMask] += outA[i];
        accumulator_[(pair.positionB + i) & ringMask] += outB[i];
    }
    pair.worker.begin(ring_.data() + position_ + ringLength - 2 * length);
    pair.positionA = position_ + length;
    pair.positionB = position_ + 2 * length;
}

float LongConvolver::process(float x)
{
    ring_[position_] = x;
    ring_[position_ + ringLength] = x;
    ++counter_;
    position_ = (position_ + 1) & ringMask;
    if ((counter_ & (firstSegmentLength - 1)) == 0 && pairs_[0]->worker.running()) {
        for (auto& pair : pairs_) {
            if (pair->segmentLength > counter_)
                break;
            if ((counter_ & (pair->segmentLength - 1)) == 0)
                collect(*pair);
        }
    }
    counter_ &= ringMask; // all segment lengths divide 32768: the schedule runs on across the wrap
    const float y = accumulator_[position_];
    accumulator_[position_] = 0.0f;
    return y;
}

} // namespace brimtone
