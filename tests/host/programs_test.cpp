// Every factory program through the built plug-in, at the common host rates
// and every oversampling setting.

#include "PluckedString.h"
#include "PluginUnderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace brimtone::host;

namespace {

enum : int { Oversmpl = 13, SpkSim = 14, RevMode = 15 };

const PluginModule& module() { return pluginUnderTest(); }

struct Levels {
    double peak = 0.0;
    double rms = 0.0;
    bool finite = true;
};

Levels levels(const std::vector<float>& x, std::size_t from)
{
    Levels l;
    double sum = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        l.finite = l.finite && std::isfinite(x[i]);
        l.peak = std::max(l.peak, static_cast<double>(std::fabs(x[i])));
        sum += static_cast<double>(x[i]) * x[i];
    }
    l.rms = std::sqrt(sum / static_cast<double>(x.size() - from));
    return l;
}

} // namespace

TEST(FactoryPrograms, RenderFinitePlausibleLevelsAtEveryRateAndOversampling)
{
    ASSERT_TRUE(module().loaded());
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        const std::vector<float> input = pluckedLowE(rate, 0.3);
        for (int program = 0; program < 14; ++program) {
            for (float oversampling : {0.0f, 0.5f, 1.0f}) {
                Instance plugin(module(), rate);
                plugin.dispatch(2 /* effSetProgram */, 0, program);
                plugin.set(Oversmpl, oversampling);
                std::vector<float> left = input, right = input, outLeft, outRight;
                plugin.process(left, right, outLeft, outRight);
                const Levels l = levels(outLeft, static_cast<std::size_t>(rate * 0.02));
                const std::string where = "program " + std::to_string(program) + " at " + std::to_string(rate)
                                          + " Hz, oversampling " + std::to_string(oversampling);
                ASSERT_TRUE(l.finite) << where;
                EXPECT_GT(l.rms, 1e-3) << where; // not silent: above -60 dBFS
                EXPECT_LT(l.peak, 2.0) << where; // and not exploding
                if (program != 4) {              // every program but "Cleanest" limits
                    EXPECT_LE(l.peak, 0.999f) << where;
                }
            }
        }
    }
}

TEST(FactoryPrograms, IdenticalStereoInputsGiveChannelsEqualWithinTheDither)
{
    ASSERT_TRUE(module().loaded());
    const std::vector<float> input = pluckedLowE(48000.0, 0.3);
    for (int program = 0; program < 14; ++program) {
        Instance plugin(module(), 48000.0);
        plugin.dispatch(2 /* effSetProgram */, 0, program);
        plugin.set(SpkSim, 0.0f);
        plugin.set(RevMode, 0.0f);
        std::vector<float> left = input, right = input, outLeft, outRight;
        plugin.process(left, right, outLeft, outRight);
        double largest = 0.0, peak = 0.0;
        for (std::size_t i = 0; i < outLeft.size(); ++i) {
            largest = std::max(largest, static_cast<double>(std::fabs(outLeft[i] - outRight[i])));
            peak = std::max(peak, static_cast<double>(std::fabs(outLeft[i])));
        }
        EXPECT_GT(peak, 1e-3) << "program " << program;
        // The channels differ only by their dither offsets: a float rounding step at most.
        EXPECT_LT(largest, 1e-7) << "program " << program;
    }
}
