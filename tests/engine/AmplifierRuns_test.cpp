// The amplifier's builds and runs give identical results: each channel run alone, both in
// lockstep, and the wide instruction-set builds of either give bit for bit what the plain
// build gives; running the host samples one at a time or in runs of kMaxRun changes
// nothing. For every channel path, flavour, tube mode and oversampling setting.

#include "engine/AmpEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace brimtone {

// The amplifier alone (oversampling, chain, decimation), without the dither the process
// calls add from seeds shared by every instance: both channels in lockstep, or one.
struct AmpEngineProbe {
    static void amplify(AmpEngine& engine, DoublePair* values, int count)
    {
        engine.amplify(values, count, BothChannels{});
    }
    static void amplify(AmpEngine& engine, double* values, int count, int channel)
    {
        engine.amplify(values, count, OneChannel{channel});
    }
};

namespace {

struct Setting {
    double channel;      // Clean, Drive, Lead as the setter takes them
    double ampMode;      // 1994, 2000, 2002
    double tubeMode;     // off, Pre-EQ, Post-EQ
    double oversampling; // 1x, 4x, 16x

    std::string name() const
    {
        return "channel " + std::to_string(channel) + " mode " + std::to_string(ampMode) + " tube "
               + std::to_string(tubeMode) + " oversampling " + std::to_string(oversampling);
    }
};

std::unique_ptr<AmpEngine> engineFor(const Setting& s, platform::VectorLevel level)
{
    auto engine = std::make_unique<AmpEngine>();
    engine->setRate(48000.0);
    engine->setChannel(s.channel);
    engine->setAmpMode(s.ampMode);
    engine->setTubeMode(s.tubeMode);
    engine->setOversampling(s.oversampling);
    engine->setGain(0.9);
    engine->setLevel(0.7);
    engine->setInputGain(0.8);
    engine->applyUpdates();
    engine->setVectorLevel(level);
    return engine;
}

// Different signals per channel, with loud bursts (saturation, table ends) and quiet
// stretches, so the two lanes often take different branches.
std::vector<DoublePair> stereoSignal(int samples)
{
    std::vector<DoublePair> signal(static_cast<std::size_t>(samples));
    for (int n = 0; n < samples; ++n) {
        const double burst = std::fmod(n * 0.0007, 1.0) < 0.5 ? 1.2 : 0.01;
        const double burstRight = std::fmod(n * 0.0011, 1.0) < 0.3 ? 0.9 : 0.002;
        signal[static_cast<std::size_t>(n)]
            = DoublePair{burst * std::sin(n * 0.031), burstRight * std::sin(n * 0.017 + 1.0)};
    }
    return signal;
}

std::vector<DoublePair> amplified(AmpEngine& engine, std::vector<DoublePair> signal, int run)
{
    for (std::size_t start = 0; start < signal.size(); start += static_cast<std::size_t>(run)) {
        const int count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(run), signal.size() - start));
        AmpEngineProbe::amplify(engine, signal.data() + start, count);
    }
    return signal;
}

// Each channel of the signal run alone through the one-channel runner: left, then right.
std::vector<DoublePair> amplifiedAlone(AmpEngine& engine, const std::vector<DoublePair>& signal, int run)
{
    std::vector<DoublePair> out = signal;
    for (int channel = 0; channel < 2; ++channel) {
        std::vector<double> lane(signal.size());
        for (std::size_t i = 0; i < signal.size(); ++i)
            lane[i] = signal[i][channel];
        for (std::size_t start = 0; start < lane.size(); start += static_cast<std::size_t>(run)) {
            const int count
                = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(run), lane.size() - start));
            AmpEngineProbe::amplify(engine, lane.data() + start, count, channel);
        }
        for (std::size_t i = 0; i < signal.size(); ++i)
            out[i][channel] = lane[i];
    }
    return out;
}

void expectIdentical(const std::vector<DoublePair>& expected, const std::vector<DoublePair>& actual,
                     const std::string& what)
{
    int mismatches = 0;
    for (std::size_t i = 0; i < expected.size() && mismatches < 3; ++i)
        for (int c = 0; c < 2; ++c)
            if (!(expected[i][c] == actual[i][c])) {
                ADD_FAILURE() << what << ": sample " << i << " channel " << c << ": " << expected[i][c] << " vs "
                              << actual[i][c];
                ++mismatches;
            }
}

std::vector<Setting> everySetting()
{
    std::vector<Setting> settings;
    for (double channel : {0.3, 0.6, 1.0})
        for (double ampMode : {0.0, 0.5, 1.0})
            for (double tube : {0.0, 0.5, 1.0})
                for (double os : {0.0, 0.5, 1.0})
                    settings.push_back({channel, ampMode, tube, os});
    return settings;
}

// The plain build's channels run alone are the reference: the lockstep runner and every
// wide build, one channel or both, give the same bits.
TEST(AmplifierRuns, EveryBuildMatchesThePlainOneChannelRunnerBitForBit)
{
    const platform::VectorLevel widest = AmpEngine::widestVectorLevel();
    const std::vector<DoublePair> signal = stereoSignal(1500);
    for (const Setting& s : everySetting()) {
        auto plain = engineFor(s, platform::VectorLevel::Sse2);
        ASSERT_EQ(plain->vectorLevel(), platform::VectorLevel::Sse2);
        const std::vector<DoublePair> expected = amplifiedAlone(*plain, signal, AmpEngine::kMaxRun);
        for (platform::VectorLevel level :
             {platform::VectorLevel::Sse2, platform::VectorLevel::Avx2, platform::VectorLevel::Avx512}) {
            if (level > widest)
                continue;
            const std::string build = s.name() + " level " + std::to_string(static_cast<int>(level));
            auto lockstep = engineFor(s, level);
            ASSERT_EQ(lockstep->vectorLevel(), level);
            expectIdentical(expected, amplified(*lockstep, signal, AmpEngine::kMaxRun), build + " lockstep");
            if (level != platform::VectorLevel::Sse2) {
                auto alone = engineFor(s, level);
                expectIdentical(expected, amplifiedAlone(*alone, signal, AmpEngine::kMaxRun), build + " alone");
            }
        }
    }
}

TEST(AmplifierRuns, RunLengthChangesNothing)
{
    const std::vector<DoublePair> signal = stereoSignal(700);
    for (const Setting& s : everySetting()) {
        auto single = engineFor(s, AmpEngine::widestVectorLevel());
        auto runs = engineFor(s, AmpEngine::widestVectorLevel());
        expectIdentical(amplified(*single, signal, 1), amplified(*runs, signal, AmpEngine::kMaxRun),
                        s.name() + " runs of 1 against runs of " + std::to_string(AmpEngine::kMaxRun));
    }
}

TEST(AmplifierRuns, VectorLevelNeverExceedsTheProcessor)
{
    AmpEngine engine;
    engine.setVectorLevel(platform::VectorLevel::Avx512);
    EXPECT_EQ(engine.vectorLevel(), AmpEngine::widestVectorLevel());
    engine.setVectorLevel(platform::VectorLevel::Sse2);
    EXPECT_EQ(engine.vectorLevel(), platform::VectorLevel::Sse2);
}

} // namespace
} // namespace brimtone
