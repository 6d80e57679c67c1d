#pragma once
// The transform layer of the convolution engine: a real-input FFT of one fixed
// size N behind an abstract interface, so that a convolver can hold the plan
// for a partition size as a pointer. Spectra use the PackedSpectrum layout
// (FrequencyBins.h).
//
// A plan carries a work buffer: one plan must never run two transforms at the
// same time, so every thread that transforms owns plans of its own.

namespace brimtone {

class RealFftPlan {
public:
    virtual ~RealFftPlan() = default;

    // Forward transform of N samples into a PackedSpectrum of N floats. The
    // two buffers must not overlap; the samples are not modified.
    virtual void forward(float* spectrum, const float* samples) = 0;

    // Inverse of a PackedSpectrum of N floats into N samples, unnormalised:
    // inverse(forward(x)) is N * x. The two buffers must not overlap.
    virtual void inverse(const float* spectrum, float* samples) = 0;

    // Multiplies N floats of the buffer in place by 1/N.
    virtual void rescale(float* buffer) const = 0;

    virtual int size() const = 0;

protected:
    RealFftPlan() = default;
    RealFftPlan(const RealFftPlan&) = default;
    RealFftPlan& operator=(const RealFftPlan&) = default;
};

} // namespace brimtone
