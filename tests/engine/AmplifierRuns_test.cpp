// The amplifier's builds and runs give identical results: both channels in lockstep give
// bit for bit what each gives alone, the wide instruction-set builds what the plain build
// gives, and runs of one host sample what runs of kMaxRun give. For every channel path,
// flavour, tube mode and oversampling setting.
#include "engine/Amplifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace brimtone;

namespace {

using Signal = std::vector<DoublePair>;
using platform::VectorLevel;

// Clean, Drive and Lead in every flavour, tube mode and oversampling, one after another.
template <class Check>
void forEverySetting(Check check)
{
    EngineSettings s;
    s.gain = 0.9;
    s.level = 0.7;
    for (int setting = 0; setting < 81; ++setting) {
        s.channel = static_cast<AmpChannel>(1 + setting / 27);
        s.ampMode = static_cast<AmpFlavor>(setting / 9 % 3);
        s.tubeMode = static_cast<TubePlacement>(setting / 3 % 3);
        const int oversampling = setting % 3;
        SCOPED_TRACE("setting " + std::to_string(setting));
        check([=](VectorLevel level) {
            auto amplifier = std::make_unique<Amplifier>();
            amplifier->setOversampling(oversampling);
            amplifier->select(s);
            amplifier->setVectorLevel(level);
            amplifier->updateCoefficients(UpdateGroup::All, s, 1.0 / 48000.0);
            return amplifier;
        });
    }
}

// Different signals per channel, with loud bursts (saturation, table ends) and quiet
// stretches, so the two lanes often take different branches.
Signal stereoSignal()
{
    Signal signal(1500);
    for (int n = 0; n < 1500; ++n)
        signal[n] = DoublePair{(std::fmod(n * 0.0007, 1.0) < 0.5 ? 1.2 : 0.01) * std::sin(n * 0.031),
                               (std::fmod(n * 0.0011, 1.0) < 0.3 ? 0.9 : 0.002) * std::sin(n * 0.017 + 1.0)};
    return signal;
}

Signal amplified(Amplifier& amplifier, Signal signal, int run, bool alone)
{
    for (int channel = 0; channel < (alone ? 2 : 1); ++channel)
        for (std::size_t start = 0; start < signal.size(); start += run) {
            const int count = static_cast<int>(std::min<std::size_t>(run, signal.size() - start));
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

void expectIdentical(const Signal& expected, const Signal& actual, const char* what)
{
    EXPECT_EQ(std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(DoublePair)), 0) << what;
}

// A wide build, one channel and both, against the plain build's channels alone.
void expectBuildMatchesPlain(VectorLevel level)
{
    forEverySetting([level](auto amplifierAt) {
        const Signal expected = amplified(*amplifierAt(VectorLevel::Sse2), stereoSignal(), Amplifier::kMaxRun, true);
        expectIdentical(expected, amplified(*amplifierAt(level), stereoSignal(), Amplifier::kMaxRun, false), "both");
        expectIdentical(expected, amplified(*amplifierAt(level), stereoSignal(), Amplifier::kMaxRun, true), "alone");
    });
}

const char* unavailable(VectorLevel level)
{
    if (!Amplifier::kWideBuilds)
        return "this build has no wide runners (BRIMTONE_WIDE_BUILDS off)";
    return Amplifier::widestVectorLevel() < level ? "this processor lacks the instruction set" : nullptr;
}

} // namespace

TEST(AmplifierRuns, LockstepAndRunLengthsMatchThePlainOneChannelRunner)
{
    forEverySetting([](auto amplifierAt) {
        const Signal expected = amplified(*amplifierAt(VectorLevel::Sse2), stereoSignal(), Amplifier::kMaxRun, true);
        expectIdentical(expected, amplified(*amplifierAt(VectorLevel::Sse2), stereoSignal(), Amplifier::kMaxRun, false),
                        "both channels in lockstep");
        expectIdentical(expected, amplified(*amplifierAt(VectorLevel::Sse2), stereoSignal(), 1, false), "runs of 1");
    });
}

TEST(AmplifierRuns, Avx2BuildMatchesThePlainBuild)
{
    if (const char* why = unavailable(VectorLevel::Avx2))
        GTEST_SKIP() << why;
    expectBuildMatchesPlain(VectorLevel::Avx2);
}

TEST(AmplifierRuns, Avx512BuildMatchesThePlainBuild)
{
    if (const char* why = unavailable(VectorLevel::Avx512))
        GTEST_SKIP() << why;
    expectBuildMatchesPlain(VectorLevel::Avx512);
}
