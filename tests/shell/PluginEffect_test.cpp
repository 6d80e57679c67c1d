// The driver's hand-off of parameter changes to the engine, the host settings it accepts
// or ignores, and what it leaves of the caller's state.

#include "shell/PluginEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <xmmintrin.h>

namespace brimtone {

namespace {

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Different left and right inputs, so a channel mix-up shows.
struct Block {
    explicit Block(int frames) : left(frames), right(frames), outLeft(frames), outRight(frames)
    {
        for (int i = 0; i < frames; ++i) {
            left[i] = 0.3f * std::sin(i * 0.05f);
            right[i] = 0.2f * std::sin(i * 0.03f);
        }
    }
    void run(PluginEffect& effect, int frames = -1)
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect.processReplacing(ins, outs, frames < 0 ? static_cast<std::int32_t>(left.size()) : frames);
    }
    std::vector<float> left, right, outLeft, outRight;
};

std::unique_ptr<PluginEffect> makeEffect() { return std::make_unique<PluginEffect>(host); }

// A factory program with reverb and cabinet off.
std::unique_ptr<PluginEffect> programEffect(int program)
{
    auto effect = makeEffect();
    effect->setProgram(program);
    effect->setParameter(RevMode, 0.0f);
    effect->setParameter(SpkSim, 0.0f);
    Block(64).run(*effect);
    return effect;
}

} // namespace

TEST(PluginEffectDriver, FirstBlockAppliesProgramZeroAndTheRate)
{
    auto effect = makeEffect();
    Block(1).run(*effect, 0); // no frames, but the hand-off still runs
    const EngineSettings& s = effect->engine().settings();
    EXPECT_EQ(effect->engine().oversampling(), 2);
    EXPECT_EQ(s.channel, AmpChannel::Bypass);
    EXPECT_EQ(s.ampMode, AmpFlavor::Y2000);
    EXPECT_EQ(s.reverbMode, ReverbMode::Spring);
    EXPECT_DOUBLE_EQ(s.gain, static_cast<double>(0.95f));
    EXPECT_EQ(effect->stereoMode(), 2);
    EXPECT_DOUBLE_EQ(effect->engine().samplePeriod(), 1.0 / 44100.0);
}

TEST(PluginEffectDriver, SampleRateBoundsAreExclusive)
{
    auto effect = makeEffect();
    Block block(4);
    for (float rate : {8000.0f, 10000.0f, 200000.0f, 250000.0f}) {
        effect->setSampleRate(rate);
        block.run(*effect);
        EXPECT_DOUBLE_EQ(effect->engine().samplePeriod(), 1.0 / 44100.0) << rate;
    }
    for (float rate : {10001.0f, 199999.0f}) {
        effect->setSampleRate(rate);
        block.run(*effect);
        EXPECT_DOUBLE_EQ(effect->engine().samplePeriod(), 1.0 / static_cast<double>(rate)) << rate;
    }
}

// Each parameter's edit reaches the engine at the next block (its dirty bit is set and
// taken), and recomputes every coefficient that depends on it: the audio that follows is
// that of an engine that recomputed everything.
TEST(PluginEffectDriver, EveryEditReachesTheEngineAndRecomputesWhatDependsOnIt)
{
    Block block(96);
    for (int index = 0; index < 2 * kNumParams; ++index) {
        const int program = index < kNumParams ? 12 : 1; // "Hi-Gain Lead", "Clean 2000"
        auto edited = programEffect(program);
        auto recomputed = programEffect(program);
        unsigned char before[sizeof(EngineSettings)];
        std::memcpy(before, &edited->engine().settings(), sizeof before);
        const int oversampling = edited->engine().oversampling(), stereoMode = edited->stereoMode();
        const float value = edited->getParameter(index % kNumParams) < 0.5f ? 0.8f : 0.2f;
        for (PluginEffect* effect : {edited.get(), recomputed.get()}) {
            effect->setParameter(index % kNumParams, value);
            block.run(*effect, 0);
        }
        EXPECT_TRUE(std::memcmp(before, &edited->engine().settings(), sizeof before) != 0
                    || oversampling != edited->engine().oversampling() || stereoMode != edited->stereoMode())
            << "parameter " << index % kNumParams << " of program " << program << " did not arrive";
        recomputed->engine().markUpdates(UpdateGroup::All & ~UpdateGroup::Rate);
        recomputed->engine().applyUpdates();
        block.run(*edited);
        const std::vector<float> editedOut = block.outLeft;
        block.run(*recomputed);
        float peak = 0.0f, difference = 0.0f;
        for (std::size_t i = 0; i < editedOut.size(); ++i) {
            peak = std::max(peak, std::fabs(block.outLeft[i]));
            difference = std::max(difference, std::fabs(block.outLeft[i] - editedOut[i]));
        }
        EXPECT_LE(difference, 1e-4f * peak + 1e-9f) << "parameter " << index % kNumParams << " of program " << program;
    }
}

TEST(PluginEffectDriver, CallersFloatingPointModeIsRestored)
{
    auto effect = makeEffect();
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u); // no flush-to-zero, no denormals-are-zero
    const unsigned before = _mm_getcsr();
    Block(256).run(*effect);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after, before);
}

TEST(ParameterTable, HoldsEveryIndexOnce)
{
    int rows[kNumParams] = {};
    for (const Parameter& p : parameterTable)
        ++rows[p.id];
    for (int index = 0; index < kNumParams; ++index)
        EXPECT_EQ(rows[index], 1) << "parameter " << index;
}

} // namespace brimtone
