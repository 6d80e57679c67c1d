#include "convolution/ConvolutionWorker.h"

#include "convolution/FrequencyBins.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFftPlan.h"

namespace brimtone {

ConvolutionWorker::ConvolutionWorker(RealFftPlan& plan, const PartitionRecord& partitionA,
    const PartitionRecord& partitionB, platform::Event& stop)
    : plan_(plan), partitionA_(partitionA), partitionB_(partitionB), stop_(stop),
      windowSpectra_{AlignedBuffer(plan.size()), AlignedBuffer(plan.size())}, product_(plan.size()),
      output_(plan.size())
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
    for (AlignedBuffer& spectrum : windowSpectra_)
        spectrum.clear();
    output_.clear();
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
    newest_ ^= 1;
    float* spectrum = windowSpectra_[newest_].data();
    plan_.forward(spectrum, window_);
    multiplyPackedSpectra(product_.data(), spectrum, partitionA_.spectrum.data(), size);
    multiplyAddPackedSpectra(product_.data(), windowSpectra_[newest_ ^ 1].data(), partitionB_.spectrum.data(), size);
    plan_.inverse(product_.data(), output_.data());
    done_.set();
}

} // namespace brimtone
