#pragma once
// The background half of a partitioned convolver: one thread that convolves a
// window of 2L input samples with two partitions of segment length L (A and B,
// the second one L samples later in the response) using one FFT of size 2L.
//
// The owner's audio thread and the worker play a strict ping-pong on two
// auto-reset events. The audio thread waits for `done`, reads the two output
// buffers, hands over the next window and signals `start`; the worker takes the
// start, transforms, multiplies, writes both output buffers and signals `done`.
// Between a start and its done only the worker touches its work buffers and
// the two output buffers; outside of it only the audio thread does. Whenever
// no job is running and none is pending, `done` is signalled.
//
// The stop event belongs to the owner (one for all its workers, manual reset);
// it wins over a pending start.

#include "convolution/AlignedBuffer.h"
#include "platform/Sync.h"

#include <thread>

namespace brimtone {

class PartitionRecord;
class RealFftPlan;

class ConvolutionWorker {
public:
    ConvolutionWorker(RealFftPlan& plan, PartitionRecord& partitionA, PartitionRecord& partitionB,
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
    // Clears the input window and signals done, so that the next wait passes
    // (the output buffers are then expected to be zero).
    void markIdle();

private:
    void threadProcedure();
    void runJob();

    RealFftPlan& plan_;
    PartitionRecord& partitionA_;
    PartitionRecord& partitionB_;
    platform::Event& stop_;
    platform::Event start_{platform::Event::Reset::Automatic};
    platform::Event done_{platform::Event::Reset::Automatic};
    const float* window_ = nullptr;
    AlignedBuffer work1_;
    AlignedBuffer work2_;
    std::thread thread_;
};

} // namespace brimtone
