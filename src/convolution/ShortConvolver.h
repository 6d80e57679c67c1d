#pragma once
// Zero-latency convolution of a stream of samples with a fixed impulse
// response of 1024 samples. Taps 0 ... 63 are applied directly; the rest of the
// response is cut into partitions convolved by FFT:
//
//   partition        response samples   segment L   FFT size   runs on        every
//   inline 0 ... 6   64 ... 511          64 each     128        audio thread   64 samples
//   block A          512 ... 767         256         512        audio thread   256 samples
//   block B          768 ... 1023        256         512        audio thread   256 samples
//
// A partition of length L is convolved, each time L new samples have arrived,
// with the 2L most recent samples; the second half of the circular result is
// its exact contribution to the next L outputs (L samples later for each
// segment of L that precedes it in the response). The seven inline partitions
// share their transforms: every 64 samples the 128 most recent samples are
// transformed once, and the spectra of the last seven such windows (a
// frequency-domain delay line) meet the seven partition spectra, the window
// taken k hand-offs ago partition k. The products are summed bin by bin and
// transformed back once. So the audio thread runs one 128-point transform each
// way per 64 samples.
//
// The two block partitions are convolved together every 256 samples
// (PairConvolution): the 512 most recent samples meet A and the window taken
// 256 samples earlier meets B. Their sum is due one block after the window
// ends; it is copied into the current block when the block starts. This job
// (a 512-point transform each way) costs less than handing it to a worker
// thread would (a wake-up system call and often a context switch), so the
// convolver has no thread: everything runs on the caller's thread.

#include "convolution/AlignedBuffer.h"
#include "convolution/PairConvolution.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFft.h"

#include <array>

namespace brimtone {

class ShortConvolver {
public:
    static constexpr int responseLength = 1024;

    // Builds plans and partitions and clears all state.
    ShortConvolver();
    ShortConvolver(const ShortConvolver&) = delete;
    ShortConvolver& operator=(const ShortConvolver&) = delete;

    // Loads h[0 ... 1023] and clears all signal history. Allocates nothing.
    void setImpulseResponse(const float* response);

    // One input sample in, one output sample out. Before a response is loaded
    // the output is silence (all partitions are zero).
    float process(float x);

private:
    static constexpr int ringLength = responseLength;
    static constexpr int directTapCount = 64;
    static constexpr int segmentLength = 64; // of each inline partition, and their hand-off period
    static constexpr int inlineFftSize = 2 * segmentLength;
    static constexpr int inlinePartitionCount = 7;
    static constexpr int blockLength = 256; // the block partitions' segment length and period

    void reset();
    float directTaps(int position, float x) const;
    // Convolves the inline partitions with the 128 most recent samples and the
    // windows before them.
    void runInlinePartitions(const float* window);

    RealFft<inlineFftSize> inlinePlan_;
    RealFft<2 * blockLength> blockPlan_;
    PartitionRecord partitionA_{2 * blockLength};
    PartitionRecord partitionB_{2 * blockLength};
    PairConvolution blockJob_{blockPlan_, partitionA_, partitionB_};

    // Spectra of the inline partitions, rescaled, partition k at k * inlineFftSize.
    AlignedBuffer inlineSpectra_{inlinePartitionCount * inlineFftSize};
    // Spectra of the last seven windows, slot (newestWindow_ + k) mod 7 taken k hand-offs ago.
    AlignedBuffer windowSpectra_{inlinePartitionCount * inlineFftSize};
    AlignedBuffer inlineProduct_{inlineFftSize};
    AlignedBuffer inlineOutput_{inlineFftSize}; // elements 64 ... 127 belong to the current block
    int newestWindow_ = 0;

    std::array<float, 2 * ringLength> ring_{}; // input ring followed by its mirror copy
    std::array<float, responseLength> scratch_{};
    std::array<float, blockLength> block_{};           // the block partitions' contribution to the current block
    std::array<float, directTapCount> reversedTaps_{}; // h[63] ... h[0]
    int position_ = 0;                                 // write position p
};

} // namespace brimtone
