#include "convolution/ConvolutionWorker.h"

namespace brimtone {

ConvolutionWorker::ConvolutionWorker(PairConvolution& job) : job_(job) {}

void ConvolutionWorker::startThread()
{
    stopping_.store(false, std::memory_order_relaxed);
    thread_ = std::thread([this] { threadProcedure(); });
}

void ConvolutionWorker::requestStop()
{
    stopping_.store(true, std::memory_order_relaxed);
    start_.set(); // orders the flag before the thread's wake-up
}

void ConvolutionWorker::joinThread()
{
    if (thread_.joinable())
        thread_.join();
    start_.reset();
    done_.reset();
}

void ConvolutionWorker::begin(const float* window)
{
    window_ = window;
    start_.set();
}

void ConvolutionWorker::threadProcedure()
{
    for (;;) {
        start_.wait();
        if (stopping_.load(std::memory_order_relaxed))
            return;
        job_.run(window_);
        done_.set();
    }
}

} // namespace brimtone
