#include "convolution/LongConvolver.h"

#include "convolution/Float4.h"
#include "convolution/RealFft.h"

#include <algorithm>

namespace brimtone {

LongConvolver::Pair::Pair(int segment, int delay)
    : segmentLength(segment), startDelay(delay), plan(createRealFftPlan(2 * segment)), partitionA(2 * segment),
      partitionB(2 * segment), job(*plan, partitionA, partitionB)
{
    if (segment > longestInlineSegment)
        worker.emplace(job);
}

LongConvolver::LongConvolver(int phase)
{
    int workerSlot = 0;
    for (int j = 0; j < pairCount; ++j) {
        const int segment = firstSegmentLength << j;
        // Worker jobs start on hand-offs 1 + phase, 3 + phase, 5 + phase, 7 + phase.
        const int delay = segment > longestInlineSegment ? (2 * workerSlot++ + 1 + phase) * firstSegmentLength : 0;
        pairs_[j] = std::make_unique<Pair>(segment, delay);
    }
    clearHistory();
}

LongConvolver::~LongConvolver() { stopWorkers(); }

void LongConvolver::stopWorkers()
{
    for (auto& pair : pairs_)
        if (pair->worker)
            pair->worker->requestStop();
    for (auto& pair : pairs_)
        if (pair->worker)
            pair->worker->joinThread();
}

void LongConvolver::clearHistory()
{
    ring_.clear();
    accumulator_.clear();
    scratch_.clear();
    position_ = 0;
    counter_ = 0;
    for (auto& pair : pairs_) {
        pair->position = -1;
        pair->jobOut = false; // after stopWorkers a begun job may never have run
        pair->forget();
    }
}

void LongConvolver::reset()
{
    for (auto& pair : pairs_)
        pair->finish();
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
        if (pair->worker)
            pair->worker->startThread();
    loaded_ = true;
}

// acc[(position + i) mod 32768] += block[i] for i = 0 ... length-1. A job's
// position is a multiple of its length, which divides 32768, so the span never
// wraps; a position of -1 (no job since the reset) has a zero block.
void LongConvolver::addBlock(int position, const float* block, int length)
{
    if (position < 0)
        return;
    float* span = accumulator_.data() + (position & ringMask);
    for (int i = 0; i < length; i += 4)
        store4(span + i, load4(span + i) + load4(block + i));
}

// Adds the pair's finished job into the accumulator and hands off the next
// one on the 2L most recent samples; its output is due L samples from now.
// The window stays intact until then: the next L writes reach only the part
// of the ring behind it.
void LongConvolver::collect(Pair& pair)
{
    const int length = pair.segmentLength;
    pair.finish();
    addBlock(pair.position, pair.job.output() + length, length);
    pair.pendingWindow = ring_.data() + position_ + ringLength - 2 * length;
    pair.position = position_ + length;
    if (pair.startDelay == 0)
        pair.start();
}

float LongConvolver::process(float x)
{
    ring_[position_] = x;
    ring_[position_ + ringLength] = x;
    ++counter_;
    position_ = (position_ + 1) & ringMask;
    if ((counter_ & (firstSegmentLength - 1)) == 0 && loaded_) {
        for (auto& pair : pairs_) {
            const int sinceHandOff = counter_ & (pair->segmentLength - 1);
            if (sinceHandOff == 0)
                collect(*pair);
            else if (sinceHandOff == pair->startDelay && pair->pendingWindow != nullptr)
                pair->start();
        }
    }
    counter_ &= ringMask; // all segment lengths divide 32768: the schedule runs on across the wrap
    const float y = accumulator_[position_];
    accumulator_[position_] = 0.0f;
    return y;
}

} // namespace brimtone
