#pragma once

#include <array>

namespace brimtone {

// Single-channel float delay line of Length samples. Every sample is stored twice, at its
// slot and Length slots further on, and the write index moves upwards, so the samples
// written since any moment lie in time order at ascending addresses: a run of them is one
// contiguous read with no wrap to test.
template <int Length>
class RingDelay {
public:
    void advance() { index = index == Length - 1 ? 0 : index + 1; }

    void write(float x)
    {
        buffer[index] = x;
        buffer[index + Length] = x;
    }

    // The sample written d advances ago (0 = the newest); d must lie in 0..Length-1.
    float read(int d) const { return *since(d); }

    // Address of the sample written d advances ago; the samples written after it follow up
    // to the newest, since(d)[d]. d must lie in 0..Length-1.
    const float* since(int d) const { return buffer.data() + index + Length - d; }

private:
    std::array<float, 2 * Length> buffer{};
    int index = 0;
};

} // namespace brimtone
