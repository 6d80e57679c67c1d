#include "convolution/PairConvolution.h"

#include "convolution/FrequencyBins.h"
#include "convolution/PartitionRecord.h"
#include "convolution/RealFftPlan.h"

namespace brimtone {

PairConvolution::PairConvolution(RealFftPlan& plan, const PartitionRecord& partitionA,
                                 const PartitionRecord& partitionB)
    : plan_(plan), partitionA_(partitionA),
      partitionB_(partitionB), windowSpectra_{AlignedBuffer(plan.size()), AlignedBuffer(plan.size())},
      product_(plan.size()), output_(plan.size())
{}

void PairConvolution::run(const float* window)
{
    const int size = plan_.size();
    newest_ ^= 1;
    float* spectrum = windowSpectra_[newest_].data();
    plan_.forward(spectrum, window);
    multiplyPackedSpectra(product_.data(), spectrum, partitionA_.spectrum.data(), size);
    multiplyAddPackedSpectra(product_.data(), windowSpectra_[newest_ ^ 1].data(), partitionB_.spectrum.data(), size);
    plan_.inverse(product_.data(), output_.data());
}

void PairConvolution::clear()
{
    for (AlignedBuffer& spectrum : windowSpectra_)
        spectrum.clear();
    output_.clear();
}

} // namespace brimtone
