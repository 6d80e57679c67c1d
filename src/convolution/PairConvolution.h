#pragma once
// Two partitions of an impulse response convolved together, A of segment
// length L and B the segment L samples later in the response, using FFTs of
// size 2L. Each run transforms the window of the 2L most recent input samples
// once and keeps the spectrum for the next run: the result is the window's
// spectrum times A's plus the previous window's spectrum (taken L samples
// earlier) times B's, transformed back once. Its elements L ... 2L-1 are the
// contribution of both partitions to the L outputs that start L samples after
// the window ends.
//
// A run is the same arithmetic on whichever thread it happens: the owner's
// thread (a partition cheaper to compute than to hand over) or a
// ConvolutionWorker's.

#include "convolution/AlignedBuffer.h"

#include <array>

namespace brimtone {

class PartitionRecord;
class RealFftPlan;

class PairConvolution {
public:
    PairConvolution(RealFftPlan& plan, const PartitionRecord& partitionA, const PartitionRecord& partitionB);
    PairConvolution(const PairConvolution&) = delete;
    PairConvolution& operator=(const PairConvolution&) = delete;

    // Convolves the 2L samples from `window` on with both partitions.
    void run(const float* window);
    // The result of the last run (2L floats).
    const float* output() const { return output_.data(); }
    // Forgets the kept spectrum and the output.
    void clear();

private:
    RealFftPlan& plan_;
    const PartitionRecord& partitionA_;
    const PartitionRecord& partitionB_;
    std::array<AlignedBuffer, 2> windowSpectra_; // of the newest window and the one before it
    int newest_ = 0;
    AlignedBuffer product_;
    AlignedBuffer output_;
};

} // namespace brimtone
