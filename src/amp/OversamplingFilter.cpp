#include "amp/OversamplingFilter.h"

namespace brimtone {

// A channel that ran alone (mono) has moved on by itself. Every read is relative to the
// position and the doubled ring is a circle of `length` entries, so rotating channel 1's
// history to channel 0's position changes nothing it will ever read.
void OversamplingFilter::alignChannels(std::uint32_t length)
{
    const std::uint32_t mask = length - 1;
    const std::uint32_t shift = (pos[0] - pos[1]) & mask;
    double rotated[kMirror16x];
    for (std::uint32_t i = 0; i < length; ++i) {
        rotated[(i + shift) & mask] = ring[i][1];
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        ring[i][1] = rotated[i];
        ring[i + length][1] = rotated[i];
    }
    pos[1] = pos[0];
}

} // namespace brimtone
