#pragma once
// The background half of a partitioned convolver: one thread that runs a
// PairConvolution (two partitions of segment length L) on the window handed
// to it, while the owner's audio thread goes on with the next L samples.
//
// The owner's audio thread and the worker play a strict ping-pong on two
// auto-reset events. The audio thread hands over a window and signals `start`;
// the worker takes the start, transforms, multiplies, writes the output and
// signals `done`; the audio thread waits for that `done` before it reads the
// output or hands over the next window. Between a start and its done only the
// worker touches its buffers; outside of it only the audio thread does. Each
// begin is answered by exactly one done; the owner knows whether a job is out.
//
// Stopping raises a flag and signals `start`: the woken thread sees the flag
// and leaves instead of running a job, so a stop wins over a pending start.

#include "convolution/PairConvolution.h"
#include "platform/Sync.h"

#include <atomic>
#include <thread>

namespace brimtone {

class ConvolutionWorker {
public:
    explicit ConvolutionWorker(PairConvolution& job);
    ConvolutionWorker(const ConvolutionWorker&) = delete;
    ConvolutionWorker& operator=(const ConvolutionWorker&) = delete;

    void startThread();
    // Tells the thread to leave once its current job (if any) is done.
    void requestStop();
    // Waits for the thread to end after requestStop, and drops a start it
    // never took up and a done nobody collected, so that a restarted thread
    // neither runs a stale job nor answers for one.
    void joinThread();

    // Audio-thread side of the ping-pong.
    // Waits for the done of the last begin.
    void waitUntilDone() { done_.wait(); }
    // Hands over the next window. The job's output (PairConvolution::output)
    // may be read only between a done and the next begin.
    void begin(const float* window);

private:
    void threadProcedure();

    PairConvolution& job_;
    std::atomic<bool> stopping_{false};
    platform::Event start_{platform::Event::Reset::Automatic};
    platform::Event done_{platform::Event::Reset::Automatic};
    const float* window_ = nullptr;
    std::thread thread_;
};

} // namespace brimtone
