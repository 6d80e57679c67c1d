// The amplifier's builds and runs give identical results: both channels in lockstep give
// bit for bit what each gives alone, the wide instruction-set builds what the plain build
// gives, and runs of one host sample what runs of kMaxRun give. For every channel path,
// flavour, tube mode and oversampling setting.

#include "engine/Amplifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace brimtone;

namespace {

struct Setting {
    EngineSettings settings;
    int oversampling;
    std::string name() const
    {
        return "channel " + std::to_string(indexOf(settings.channel)) + " flavour "
               + std::to_string(indexOf(settings.ampMode)) + " tube " + std::to_string(indexOf(settings.tubeMode))
               + " oversampling " + std::to_string(oversampling);
    }
};

std::vector<Setting> everySetting()
{
    std::vector<Setting> all;
    for (AmpChannel channel : {AmpChannel::Clean, AmpChannel::Drive, AmpChannel::Lead})
        for (AmpFlavor flavor : {AmpFlavor::Y1994, AmpFlavor::Y2000, AmpFlavor::Y2002})
            for (TubePlacement tube : {TubePlacement::Off, TubePlacement::PreEq, TubePlacement::PostEq})
                for (int os = 0; os < 3; ++os) {
                    EngineSettings s;
                    s.channel = channel;
                    s.ampMode = flavor;
                    s.tubeMode = tube;
                    s.gain = 0.9;
                    s.level = 0.7;
                    all.push_back({s, os});
                }
    return all;
}

std::unique_ptr<Amplifier> amplifierFor(const Setting& s, platform::VectorLevel level)
{
    auto amplifier = std::make_unique<Amplifier>();
    amplifier->setOversampling(s.oversampling);
    amplifier->select(s.settings);
    amplifier->setVectorLevel(level);
    amplifier->updateCoefficients(UpdateGroup::All, s.settings, 1.0 / 48000.0);
    return amplifier;
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

// Both channels in lockstep, or (alone) each channel by itself, left then right.
std::vector<DoublePair> amplified(Amplifier& amplifier, std::vector<DoublePair> signal, int run, bool alone)
{
    for (int channel = 0; channel < (alone ? 2 : 1); ++channel)
        for (std::size_t start = 0; start < signal.size(); start += static_cast<std::size_t>(run)) {
            const int count = static_cast<int>(std::min(static_cast<std::size_t>(run), signal.size() - start));
            if (!alone) {
                amplifier.run(signal.data() + start, count, BothChannels{});
                continue;
            }
            double lane[Amplifier::kMaxRun];
            for (int i = 0; i < count; ++i)
                lane[i] = signal[start + i][channel];
            amplifier.run(lane, count, OneChannel{channel});
            for (int i = 0; i < count; ++i)
                signal[start + i][channel] = lane[i];
        }
    return signal;
}

void expectIdentical(const std::vector<DoublePair>& expected, const std::vector<DoublePair>& actual,
                     const std::string& what)
{
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (int c = 0; c < 2; ++c)
            if (!(expected[i][c] == actual[i][c])) {
                ADD_FAILURE() << what << ": sample " << i << " channel " << c << ": " << expected[i][c] << " vs "
                              << actual[i][c];
                return;
            }
}

// Each wide build, one channel and both, against the plain build's channels alone.
void expectBuildMatchesPlain(platform::VectorLevel level)
{
    const std::vector<DoublePair> signal = stereoSignal(1500);
    for (const Setting& s : everySetting()) {
        auto plain = amplifierFor(s, platform::VectorLevel::Sse2);
        const auto expected = amplified(*plain, signal, Amplifier::kMaxRun, true);
        for (bool alone : {false, true}) {
            auto wide = amplifierFor(s, level);
            ASSERT_EQ(wide->vectorLevel(), level);
            expectIdentical(expected, amplified(*wide, signal, Amplifier::kMaxRun, alone),
                            s.name() + (alone ? " alone" : " lockstep"));
        }
    }
}

const char* unavailable(platform::VectorLevel level)
{
    if (!Amplifier::kWideBuilds)
        return "this build has no wide runners (BRIMTONE_WIDE_BUILDS off)";
    if (Amplifier::widestVectorLevel() < level)
        return "this processor lacks the instruction set";
    return nullptr;
}

} // namespace

TEST(AmplifierRuns, LockstepAndRunLengthsMatchThePlainOneChannelRunner)
{
    const std::vector<DoublePair> signal = stereoSignal(1500);
    for (const Setting& s : everySetting()) {
        auto alone = amplifierFor(s, platform::VectorLevel::Sse2);
        const auto expected = amplified(*alone, signal, Amplifier::kMaxRun, true);
        auto lockstep = amplifierFor(s, platform::VectorLevel::Sse2);
        expectIdentical(expected, amplified(*lockstep, signal, Amplifier::kMaxRun, false), s.name() + " lockstep");
        auto single = amplifierFor(s, platform::VectorLevel::Sse2);
        expectIdentical(expected, amplified(*single, signal, 1, false), s.name() + " runs of 1");
    }
}

TEST(AmplifierRuns, Avx2BuildMatchesThePlainBuild)
{
    if (const char* why = unavailable(platform::VectorLevel::Avx2))
        GTEST_SKIP() << why;
    expectBuildMatchesPlain(platform::VectorLevel::Avx2);
}

TEST(AmplifierRuns, Avx512BuildMatchesThePlainBuild)
{
    if (const char* why = unavailable(platform::VectorLevel::Avx512))
        GTEST_SKIP() << why;
    expectBuildMatchesPlain(platform::VectorLevel::Avx512);
}

TEST(AmplifierRuns, VectorLevelNeverExceedsTheProcessor)
{
    Amplifier amplifier;
    amplifier.setVectorLevel(platform::VectorLevel::Avx512);
    EXPECT_EQ(amplifier.vectorLevel(), Amplifier::widestVectorLevel());
}
