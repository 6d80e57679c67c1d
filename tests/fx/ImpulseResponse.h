#pragma once
// One channel's response to a unit impulse from a two-channel stage run as the engine
// runs it, the channels interleaved sample by sample; the other channel is fed silence
// and, with `otherSilent`, must stay silent.

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace brimtone::test {

template <class Sample, class Stage>
std::vector<Sample> impulseResponse(Stage& stage, int channel, int length, bool otherSilent = true)
{
    std::vector<Sample> response;
    for (int n = 0; n < length; ++n)
        for (int c = 0; c < 2; ++c) {
            Sample y = c == channel && n == 0 ? Sample(1) : Sample(0);
            if constexpr (std::is_void_v<decltype(stage.process(y, c))>)
                stage.process(y, c); // in place
            else
                y = stage.process(y, c);
            if (c == channel)
                response.push_back(y);
            else if (otherSilent) {
                EXPECT_EQ(y, Sample(0)) << "channel " << c << ", sample " << n;
            }
        }
    return response;
}

} // namespace brimtone::test
