#pragma once
// Convolution of a stream of samples with samples 256 ... 32767 of a
// 32768-sample impulse response, entirely by FFT. The response is cut into
// fourteen partitions in seven pairs of doubling segment length
// L = 128 * 2^j (j = 0 ... 6); pair j covers response samples 2L ... 4L-1
// (partition A: 2L ... 3L-1, partition B: 3L ... 4L-1) and is convolved every
// L samples: the 2L most recent input samples meet A and the window taken L
// samples earlier meets B, through FFTs of size 2L (PairConvolution). The
// audio thread stores samples, hands windows over and adds finished blocks
// into an output accumulator.
//
// The four longest pairs (j = 3 ... 6: transforms of 2048 points and more)
// run on worker threads of their own (ConvolutionWorker). Waking a sleeping
// thread costs the audio thread a system call and often a context switch,
// several microseconds, more than the whole convolution of one of the three
// shorter pairs (up to 1024 points), so those run on the audio thread at
// their hand-off. Either way a job's result is collected and added at the
// next hand-off, L samples later, so the output does not depend on where a
// pair runs.
//
// Every L is a multiple of the shorter ones, so all pairs hand off together
// every 8192 samples. Waking the four workers there at once would pile four
// system calls, and the scheduling of four busy threads, onto one block of
// the audio thread. So a worker's job starts a few hand-offs (of 128 samples)
// after its window is complete; it still has most of its L samples to run. A
// convolver's phase (0 or 1) moves its starts by one more hand-off, so that
// two convolvers running side by side (the channels of a reverb) do not wake
// their workers on the same hand-off either: each of the eight falls on a
// hand-off of its own. Where a job starts does not change its result.
//
// Timing: the output at time t is the convolution term t + 1, so a unit
// impulse yields h[t + 1] for t = 255 ... 32766 and nothing before t = 255
// (response samples 0 ... 255 are not reproduced). Each job has L samples of
// time before its first result is due.
//
// Threads: process and reset run on the owner's (audio) thread and never
// concurrently; each worker is coupled to it by its own start/done ping-pong
// (ConvolutionWorker). A worker's window lies in the part of the mirrored ring
// that the next L writes do not reach. The one wait of the audio thread is in
// process, at a pair's hand-off, for that pair's previous job when it is not
// finished yet: the job had L samples less its start delay to run, so the wait
// is at most the rest of one job (a 16384-point transform each way for the
// longest pair) and on a machine that keeps up it does not happen.
// setImpulseResponse stops and restarts the workers; it is called while no
// audio runs (when the reverb is built).

#include "convolution/ConvolutionWorker.h"
#include "convolution/PairConvolution.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFftPlan.h"

#include <array>
#include <memory>
#include <optional>

namespace brimtone {

class LongConvolver {
public:
    static constexpr int responseLength = 32768;
    static constexpr int skippedSamples = 256; // response samples not reproduced

    // Builds plans, partitions, workers and events and clears all state; no
    // thread is started until a response is loaded. `phase` (0 or 1) sets
    // where the workers' jobs start (see above); the output does not depend on it.
    explicit LongConvolver(int phase = 0);
    // Stops the worker threads before anything they use is freed.
    ~LongConvolver();
    LongConvolver(const LongConvolver&) = delete;
    LongConvolver& operator=(const LongConvolver&) = delete;

    // Loads h[0 ... 32767], clears all signal history and (re)starts the workers.
    void setImpulseResponse(const float* response);

    // One input sample in, one output sample out. Before a response is loaded
    // the output is silence.
    float process(float x);

    // Clears all signal history; may be called between samples while the
    // workers run. A worker may then still be busy with a job started before
    // the reset, reading the input ring and writing its own buffers. Reset
    // waits for each such job to finish (it consumes the worker's done signal,
    // which is pending whenever no job runs) and only then clears the buffers
    // and signals done again; so no buffer is written by two threads, and
    // nothing computed before the reset reaches the accumulator after it. The
    // wait is bounded by one job (at most a 16384-point forward and inverse
    // transform).
    void reset();

private:
    static constexpr int pairCount = 7;
    static constexpr int firstSegmentLength = 128;
    static constexpr int ringLength = responseLength;
    static constexpr int ringMask = ringLength - 1;
    // Pairs of at most this segment length run on the audio thread.
    static constexpr int longestInlineSegment = 512;

    // Two partitions of segment length L convolved together, on a worker
    // thread of their own or (no worker) on the audio thread.
    struct Pair {
        Pair(int segment, int startDelay);
        int segmentLength;
        int startDelay;                    // samples from a hand-off to the start of its job: 0 on the audio thread
        std::unique_ptr<RealFftPlan> plan; // of size 2L, used only by the thread that runs the job
        PartitionRecord partitionA;
        PartitionRecord partitionB;
        PairConvolution job;
        int position = -1;                    // accumulator position of the output of the last job
        const float* pendingWindow = nullptr; // handed off, its job not started yet
        bool jobOut = false;                  // a worker runs (or has finished) a job not collected yet
        std::optional<ConvolutionWorker> worker;

        // Runs the job on the pending window: hands it to the worker, or runs it here.
        void start()
        {
            if (worker) {
                worker->begin(pendingWindow);
                jobOut = true;
            } else {
                job.run(pendingWindow);
            }
            pendingWindow = nullptr;
        }
        // Waits until the last job's output may be read (a job run here is done).
        void finish()
        {
            if (jobOut) {
                worker->waitUntilDone();
                jobOut = false;
            }
        }
        // Forgets the last job's output, a pending window and the kept
        // spectrum; no job may be out.
        void forget()
        {
            pendingWindow = nullptr;
            job.clear();
        }
    };

    void clearHistory();
    void stopWorkers();
    void addBlock(int position, const float* block, int length);
    void collect(Pair& pair);

    std::array<std::unique_ptr<Pair>, pairCount> pairs_;
    AlignedBuffer ring_{2 * ringLength}; // input ring followed by its mirror copy
    AlignedBuffer scratch_{responseLength};
    AlignedBuffer accumulator_{ringLength};
    int position_ = 0; // write position p
    int counter_ = 0;  // sample counter c, wraps at 32768
    bool loaded_ = false;
};

} // namespace brimtone
