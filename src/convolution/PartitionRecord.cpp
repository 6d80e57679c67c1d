#include "convolution/PartitionRecord.h"

#include "convolution/RealFftPlan.h"

namespace brimtone {

PartitionRecord::PartitionRecord(int fftSize) : spectrum(fftSize) {}

void PartitionRecord::load(const float* paddedSegment, RealFftPlan& plan)
{
    plan.forward(spectrum.data(), paddedSegment);
    plan.rescale(spectrum.data());
}

} // namespace brimtone
