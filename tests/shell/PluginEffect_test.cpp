// The driver's hand-off of parameter changes to the engine, the host settings
// it accepts or ignores, and what it leaves of the caller's state.

#include "shell/PluginEffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include <xmmintrin.h>

namespace brimtone {

struct PluginEffectProbe {
    static platform::CriticalSection& paramLock(PluginEffect& effect) { return effect.paramLock_; }
};

namespace {

struct HostLog {
    int automateCalls = 0;
    int index = -1;
    float value = 0.0f;
};
HostLog hostLog;

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t index, std::intptr_t, void*, float opt)
{
    if (opcode == vst::audioMasterVersion)
        return 2400;
    if (opcode == vst::audioMasterAutomate) {
        ++hostLog.automateCalls;
        hostLog.index = index;
        hostLog.value = opt;
    }
    return 0;
}

class Block {
public:
    explicit Block(int frames, float value = 0.1f)
        : left(frames, value), right(frames, value), outLeft(frames), outRight(frames)
    {}
    void run(PluginEffect& effect, int frames = -1)
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect.processReplacing(ins, outs, frames < 0 ? static_cast<std::int32_t>(left.size()) : frames);
    }
    std::vector<float> left, right, outLeft, outRight;
};

std::unique_ptr<PluginEffect> makeEffect() { return std::make_unique<PluginEffect>(host); }

} // namespace

TEST(PluginEffectDriver, FirstBlockAppliesProgramZeroAndTheRate)
{
    auto effect = makeEffect();
    Block block(1);
    block.run(*effect, 0); // no frames, but the hand-off still runs
    const EngineSettings& s = effect->engine().settings();
    EXPECT_EQ(effect->engine().oversampling(), 2);
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(s.ampMode, 1);
    EXPECT_EQ(s.speaker, 1);
    EXPECT_EQ(s.reverbMode, 2);
    EXPECT_EQ(s.tubeMode, 2);
    EXPECT_EQ(s.limiter, 1);
    EXPECT_EQ(s.bright, 1);
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
    for (float rate : {10001.0f, 199999.0f, 48000.0f}) {
        effect->setSampleRate(rate);
        block.run(*effect);
        EXPECT_DOUBLE_EQ(effect->engine().samplePeriod(), 1.0 / static_cast<double>(rate)) << rate;
    }
    effect->setBlockSize(0);
    effect->setBlockSize(70000);
    EXPECT_EQ(effect->getBlockSize(), 256);
    effect->setBlockSize(512);
    EXPECT_EQ(effect->getBlockSize(), 512);
}

TEST(PluginEffectDriver, ParametersKeepWhatTheHostSentAndReachTheEngineAtTheNextBlock)
{
    auto effect = makeEffect();
    Block block(8);
    block.run(*effect);
    effect->setParameter(Low, 1.7f);
    EXPECT_EQ(effect->getParameter(Low), 1.7f);
    EXPECT_EQ(effect->getParameter(20), 0.0f);
    EXPECT_EQ(effect->getParameter(-1), 0.0f);
    effect->setParameter(25, 0.3f); // ignored
    EXPECT_DOUBLE_EQ(effect->engine().settings().low, static_cast<double>(0.55f));
    block.run(*effect);
    EXPECT_EQ(effect->engine().settings().low, 1.0);
    EXPECT_DOUBLE_EQ(effect->engine().settings().mid, static_cast<double>(0.22f)) << "other settings untouched";
}

TEST(PluginEffectDriver, BusyParamLockPostponesTheHandOffButNotTheAudio)
{
    auto effect = makeEffect();
    effect->setParameter(Channel, 0.0f);
    effect->setParameter(TubeMode, 0.0f);
    effect->setParameter(RevMode, 0.0f);
    effect->setParameter(SpkSim, 0.0f);
    effect->setParameter(Oversmpl, 0.0f);
    effect->setParameter(Limiter, 0.0f);
    Block block(64);
    block.run(*effect);
    const float loud = block.outLeft[63];
    const double previousMaster = effect->engine().settings().masterGain;
    ASSERT_GT(loud, 0.01f);

    effect->setParameter(Master, 0.0f); // -40 dB, waiting in the mask
    std::atomic<int> stage{0};
    std::thread editor([&] {
        platform::CriticalSection& lock = PluginEffectProbe::paramLock(*effect);
        lock.enter();
        stage = 1;
        while (stage != 2)
            std::this_thread::yield();
        lock.leave();
    });
    while (stage != 1)
        std::this_thread::yield();
    block.run(*effect);
    EXPECT_FLOAT_EQ(block.outLeft[63], loud) << "processed with the previous settings";
    stage = 2;
    editor.join();
    block.run(*effect);
    EXPECT_NEAR(effect->engine().settings().masterGain, 0.01, 1e-12);
    EXPECT_NEAR(block.outLeft[63], loud * 0.01 / previousMaster, 1e-6);
}

TEST(PluginEffectDriver, AutomatedEditsAreReportedToTheHost)
{
    auto effect = makeEffect();
    hostLog = HostLog{};
    effect->setParameterAutomated(Gain, 0.25f);
    EXPECT_EQ(effect->getParameter(Gain), 0.25f);
    EXPECT_EQ(hostLog.automateCalls, 1);
    EXPECT_EQ(hostLog.index, Gain);
    EXPECT_EQ(hostLog.value, 0.25f);
}

TEST(PluginEffectDriver, CallersFloatingPointModeIsRestored)
{
    auto effect = makeEffect();
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u); // no flush-to-zero, no denormals-are-zero
    const unsigned before = _mm_getcsr();
    Block block(256, 1e-39f);
    block.run(*effect);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after, before);
}

TEST(PluginEffectDriver, ProgramSwitchRecordsTheEditsOfTheProgramLeft)
{
    auto effect = makeEffect();
    effect->setProgram(3);
    effect->setParameter(Gain, 0.42f);
    effect->setProgram(5);
    EXPECT_FLOAT_EQ(effect->getParameter(Gain), 0.48f);
    effect->setProgram(3);
    EXPECT_FLOAT_EQ(effect->getParameter(Gain), 0.42f);
    char name[32];
    effect->getProgramName(name);
    EXPECT_STREQ(name, "Boosted Clean");
}

} // namespace brimtone
