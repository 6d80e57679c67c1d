#pragma once
// Zero-latency convolution of a stream of samples with a fixed impulse
// response of 1024 samples. Taps 0 ... 63 are applied directly; the rest of the
// response is cut into partitions convolved by FFT:
//
//   partition   response samples   segment L   FFT size   runs on        every
//   inline 0    64 ... 127          64          128        audio thread   64 samples
//   inline 1    128 ... 255         128         256        audio thread   128 samples
//   inline 2    256 ... 511         256         512        audio thread   256 samples
//   worker A    512 ... 767         256         512        worker thread  256 samples
//   worker B    768 ... 1023        256         512        worker thread  256 samples
//
// An inline partition of length L is convolved, each time L new samples have
// arrived, with the 2L most recent samples; the second half of the circular
// result is its exact contribution to the next L outputs. The worker's two
// partitions come due one and two blocks later, which gives it 256 samples of
// time; its results are gathered in a four-block accumulator.
//
// Threads: process and setImpulseResponse run on the owner's (audio) thread and
// never concurrently; the worker runs only between the hand-offs described in
// ConvolutionWorker. The worker reads its 512-sample window from the mirrored
// half of the input ring that the next 256 writes do not reach.

#include "convolution/ConvolutionWorker.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFft.h"
#include "platform/Sync.h"

#include <array>

namespace brimtone {

class ShortConvolver {
public:
    static constexpr int responseLength = 1024;

    // Builds plans, partitions and events and clears all state; no thread is
    // started until a response is loaded.
    ShortConvolver();
    // Stops the worker thread before anything it uses is freed.
    ~ShortConvolver();
    ShortConvolver(const ShortConvolver&) = delete;
    ShortConvolver& operator=(const ShortConvolver&) = delete;

    // Loads h[0 ... 1023] and clears all signal history. The first load starts
    // the worker thread; later loads keep it.
    void setImpulseResponse(const float* response);

    // One input sample in, one output sample out. Before a response is loaded
    // the output is silence.
    float process(float x);

private:
    static constexpr int ringLength = responseLength;
    static constexpr int directTapCount = 64;
    static constexpr int blockLength = 256; // the worker's segment length and hand-off period

    // An FFT partition convolved on the audio thread.
    struct InlineJob {
        explicit InlineJob(RealFftPlan& fftPlan);
        void run(const float* window); // the 2L most recent samples
        RealFftPlan& plan;
        PartitionRecord record;
        AlignedBuffer work;
    };

    void reset();
    void stopWorker();
    float directTaps(int position) const;

    RealFft<128> plan128_;
    RealFft<256> plan256_;
    RealFft<512> plan512_;
    RealFft<512> workerPlan_; // a plan is never shared between threads
    InlineJob inline0_{plan128_};
    InlineJob inline1_{plan256_};
    InlineJob inline2_{plan512_};
    PartitionRecord partitionA_{2 * blockLength};
    PartitionRecord partitionB_{2 * blockLength};
    platform::Event stop_{platform::Event::Reset::Manual};
    ConvolutionWorker worker_{workerPlan_, partitionA_, partitionB_, stop_};

    std::array<float, 2 * ringLength> ring_{}; // input ring followed by its mirror copy
    std::array<float, responseLength> scratch_{};
    std::array<float, ringLength> accumulator_{}; // four blocks of the worker's contributions
    std::array<float, directTapCount> reversedTaps_{}; // h[63] ... h[0]
    int position_ = 0; // write position p
};

} // namespace brimtone
