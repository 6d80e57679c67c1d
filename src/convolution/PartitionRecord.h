#pragma once
// One partition of an impulse response in a partitioned convolver: the
// spectrum of its segment, zero-padded to the FFT size and already scaled by
// 1/N, so that an inverse of a product needs no further scaling.

#include "convolution/AlignedBuffer.h"

namespace brimtone {

class RealFftPlan;

class PartitionRecord {
public:
    explicit PartitionRecord(int fftSize);

    // Transforms the first N floats of `paddedSegment` with `plan` (of size N)
    // into the spectrum and rescales it.
    void load(const float* paddedSegment, RealFftPlan& plan);

    AlignedBuffer spectrum;
};

} // namespace brimtone
