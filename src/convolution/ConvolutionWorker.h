#pragma once
// The background half of a partitioned convolver: one thread that convolves
// the input with two partitions of segment length L (A and B, the second one L
// samples later in the response) using FFTs of size 2L. Each job transforms the
// window of the 2L most recent input samples once and keeps the spectrum for
// the next job: the job's result is the window's spectrum times A's plus the
// previous window's spectrum (taken L samples earlier) times B's, transformed
// back once. Its elements L ... 2L-1 are the contribution of both partitions to
// the L outputs that start L samples after the window ends.
//
// The owner's audio thread and the worker play a strict ping-pong on two
// auto-reset events. The audio thread waits for `done`, reads the output,
// hands over the next window and signals `start`; the worker takes the start,
// transforms, multiplies, writes the output and signals `done`. Between a start
// and its done only the worker touches its buffers; outside of it only the
// audio thread does. Whenever no job is running and none is pending, `done` is
// signalled.
//
// The stop event belongs to the owner (one for all its workers, manual reset);
// it wins over a pending start.

#include "convolution/AlignedBuffer.h"
#include "platform/Sync.h"

#include <array>
#include <thread>

namespace brimtone {

class PartitionRecord;
class RealFftPlan;

class ConvolutionWorker {
public:
    ConvolutionWorker(RealFftPlan& plan, const PartitionRecord& partitionA, const PartitionRecord& partitionB,
        platform::Event& stop);
    ConvolutionWorker(const ConvolutionWorker&) = delete;
    ConvolutionWorker& operator=(const ConvolutionWorker&) = delete;

    // Starts the thread. The stop event must not be signalled.
    void startThread();
    // Waits for the thread to end once the owner has signalled stop, and
    // drops a start the thread never took up (stop wins over it), so that a
    // restarted thread does not run a stale job.
    void joinThread();
    bool running() const { return thread_.joinable(); }

    // Audio-thread side of the ping-pong.
    void waitUntilDone() { done_.wait(); }
    void begin(const float* window);
    // The result of the last job (2L floats); read only between a done and the
    // next begin.
    const float* output() const { return output_.data(); }
    // Clears the input window, the kept spectrum and the output, and signals
    // done, so that the next wait passes. No job may be running.
    void markIdle();

private:
    void threadProcedure();
    void runJob();

    RealFftPlan& plan_;
    const PartitionRecord& partitionA_;
    const PartitionRecord& partitionB_;
    platform::Event& stop_;
    platform::Event start_{platform::Event::Reset::Automatic};
    platform::Event done_{platform::Event::Reset::Automatic};
    const float* window_ = nullptr;
    std::array<AlignedBuffer, 2> windowSpectra_; // of the newest window and the one before it
    int newest_ = 0;
    AlignedBuffer product_;
    AlignedBuffer output_;
    std::thread thread_;
};

} // namespace brimtone
