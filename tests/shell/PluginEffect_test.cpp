// The driver's hand-off of parameter changes to the engine, the host settings it
// accepts or ignores, what it leaves of the caller's state, and the display hand-off.
#include "shell/DisplayReader.h"
#include "shell/PluginEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
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
        for (int i = 0; i < frames; ++i)
            left[i] = 0.3f * std::sin(i * 0.05f), right[i] = 0.2f * std::sin(i * 0.03f);
    }
    void run(PluginEffect& effect, int frames = -1)
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect.processReplacing(ins, outs, frames < 0 ? static_cast<std::int32_t>(left.size()) : frames);
    }
    std::vector<float> left, right, outLeft, outRight;
};

std::unique_ptr<PluginEffect> programEffect(int program) // reverb and cabinet off
{
    auto effect = std::make_unique<PluginEffect>(host);
    effect->setProgram(program);
    effect->setParameter(RevMode, 0.0f);
    effect->setParameter(SpkSim, 0.0f);
    Block(64).run(*effect);
    return effect;
}

} // namespace

TEST(PluginEffectDriver, FirstBlockAppliesProgramZeroAndRatesInsideTheBounds)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Block block(4);
    block.run(*effect, 0); // no frames, but the hand-off still runs
    EXPECT_EQ(effect->engine().oversampling(), 2);
    EXPECT_EQ(effect->engine().settings().channel, AmpChannel::Bypass);
    EXPECT_DOUBLE_EQ(effect->engine().settings().gain, static_cast<double>(0.95f));
    // The bounds are exclusive: a rate outside them keeps the one before.
    const std::pair<float, double> rates[]
        = {{8000, 44100}, {10000, 44100}, {10001, 10001}, {200000, 10001}, {250000, 10001}, {199999, 199999}};
    for (auto [rate, kept] : rates) {
        effect->setSampleRate(rate);
        block.run(*effect);
        EXPECT_DOUBLE_EQ(effect->engine().samplePeriod(), 1.0 / kept) << rate;
    }
}

// Each parameter's edit reaches the engine at the next block (its dirty bit is set and
// taken), and recomputes every coefficient that depends on it: the audio that follows is
// that of an engine that recomputed everything.
TEST(PluginEffectDriver, EveryEditReachesTheEngineAndRecomputesWhatDependsOnIt)
{
    Block block(96);
    for (int index = 0; index < 2 * kNumParams; ++index) {
        const int program = index < kNumParams ? 12 : 1, param = index % kNumParams; // "Hi-Gain Lead", "Clean 2000"
        auto edited = programEffect(program), recomputed = programEffect(program);
        unsigned char before[sizeof(EngineSettings)];
        std::memcpy(before, &edited->engine().settings(), sizeof before);
        const int oversampling = edited->engine().oversampling(), stereoMode = edited->stereoMode();
        const float value = edited->getParameter(param) < 0.5f ? 0.8f : 0.2f;
        for (PluginEffect* effect : {edited.get(), recomputed.get()}) {
            effect->setParameter(param, value);
            block.run(*effect, 0);
        }
        EXPECT_TRUE(std::memcmp(before, &edited->engine().settings(), sizeof before) != 0
                    || oversampling != edited->engine().oversampling() || stereoMode != edited->stereoMode())
            << "parameter " << param << " of program " << program << " did not arrive";
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
        EXPECT_LE(difference, 1e-4f * peak + 1e-9f) << "parameter " << param << " of program " << program;
    }
}

TEST(PluginEffectDriver, CallersFloatingPointModeIsRestored)
{
    auto effect = std::make_unique<PluginEffect>(host);
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u); // no flush-to-zero, no denormals-are-zero
    const unsigned before = _mm_getcsr();
    Block(256).run(*effect);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after, before);
}

// The response snapshot is refreshed once a change and follows the channel;
// traces and meters come from the audio.
TEST(DisplayReader, SnapshotFollowsEachChangeAndTracesTheAudio)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Block block(32);
    AmpEngine& engine = effect->engine();
    DisplayReader reader(*effect);
    effect->setParameter(Channel, 0.0f); // Bypass: flat
    block.run(*effect);                  // the first block publishes the whole engine
    EXPECT_FALSE(engine.refreshResponseSnapshot()) << "the block itself took the change";
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    EXPECT_FALSE(reader.readFrame(DisplayReader::View::TonestackResponse)) << "no new curve, no redraw";
    EXPECT_TRUE(std::all_of(reader.responseDb().begin(), reader.responseDb().end(), [](float db) { return db == 0; }));

    effect->setParameter(Channel, 0.3f); // Clean
    block.run(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    const auto clean = reader.responseDb();
    effect->setParameter(Low, 1.0f);
    // A held analysisLock postpones the refresh; the bits stay for a later block.
    effect->setParameter(High, 0.0f);
    engine.analysisLock().enter();
    std::thread([&] { block.run(*effect); }).join();
    engine.analysisLock().leave();
    EXPECT_NE(engine.analysisMask(), 0u);
    block.run(*effect);
    EXPECT_EQ(engine.analysisMask(), 0u);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    const auto bassy = reader.responseDb();
    // More bass, less treble: the low end rises against the top end.
    EXPECT_GT(bassy[20] - bassy[160], clean[20] - clean[160] + 3.0f);
    Block(4096).run(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TubeSaturation));
    int moving = 0;
    for (const auto& point : reader.trace(0))
        moving += point.in != 0.0 && point.out != point.in;
    EXPECT_GT(moving, 400) << "program 0's tube mode runs the tube stage after the channel";
    EXPECT_NE(reader.meters().powerBias, 0.0);
    EXPECT_GT(reader.meters().inPeak[1], 0.1);
}

} // namespace brimtone
