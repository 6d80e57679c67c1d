#include "convolution/ConvolutionWorker.h"

#include "convolution/PackedSpectrum.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFftPlan.h"

namespace brimtone {

ConvolutionWorker::ConvolutionWorker(RealFftPlan& plan, PartitionRecord& partitionA, PartitionRecord& partitionB,
    platform::Event& stop)
    : plan_(plan), partitionA_(partitionA), partitionB_(partitionB), stop_(stop), work1_(plan.size()),
      work2_(plan.size())
{
}

void ConvolutionWorker::startThread()
{
    thread_ = std::thread([this] { threadProcedure(); });
}

void ConvolutionWorker::joinThread()
{
    if (thread_.joinable())
        thread_.join();
    start_.reset();
}

void ConvolutionWorker::begin(const float* window)
{
    window_ = window;
    start_.set();
}

void ConvolutionWorker::markIdle()
{
    window_ = nullptr;
    done_.set();
}

void ConvolutionWorker::threadProcedure()
{
    while (platform::Event::waitForEither(stop_, start_) == 1)
        runJob();
}

void ConvolutionWorker::runJob()
{
    const int size = plan_.size();
    plan_.forward(work1_.data(), window_);
    multiplyPackedSpectra(work2_.data(), work1_.data(), partitionB_.spectrum.data(), size);
    multiplyPackedSpectra(work1_.data(), work1_.data(), partitionA_.spectrum.data(), size);
    plan_.inverse(work1_.data(), partitionA_.output.data());
    plan_.inverse(work2_.data(), partitionB_.output.data());
    done_.set();
}

} // namespace brimtone
