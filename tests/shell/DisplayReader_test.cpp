// The display hand-off as the editor sees it: the response snapshot is
// refreshed once per change and follows the channel; traces and meters come
// from the audio.

#include "shell/DisplayReader.h"
#include "shell/PluginEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace brimtone {
namespace {

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

struct Audio {
    explicit Audio(int frames) : in(frames), out(frames)
    {
        for (int i = 0; i < frames; ++i)
            in[i] = 0.2f * static_cast<float>(std::sin(i * 0.07));
    }
    void process(PluginEffect& effect)
    {
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        effect.processReplacing(ins, outs, static_cast<std::int32_t>(in.size()));
    }
    std::vector<float> in, out;
};

} // namespace

TEST(ResponseSnapshot, RefreshesOnlyAfterAToneChange)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Audio audio(32);
    audio.process(*effect); // the first block publishes the whole engine
    AmpEngine& engine = effect->engine();
    EXPECT_FALSE(engine.refreshResponseSnapshot()) << "nothing changed since";

    effect->setParameter(Mid, 0.9f);
    audio.process(*effect);
    EXPECT_FALSE(engine.refreshResponseSnapshot()) << "the block itself took the change";

    DisplayReader reader(*effect);
    EXPECT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    EXPECT_FALSE(reader.readFrame(DisplayReader::View::TonestackResponse)) << "no new curve, no redraw";

    // A held analysisLock postpones the refresh; the bits stay for a later block.
    effect->setParameter(High, 0.1f);
    engine.analysisLock().enter();
    std::thread audioThread([&] { audio.process(*effect); });
    audioThread.join();
    engine.analysisLock().leave();
    EXPECT_NE(engine.analysisMask(), 0u);
    EXPECT_TRUE(engine.refreshResponseSnapshot());
    EXPECT_EQ(engine.analysisMask(), 0u);
}

TEST(ResponseSnapshot, CurveFollowsTheChannel)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Audio audio(32);
    DisplayReader reader(*effect);

    effect->setParameter(Channel, 0.0f); // Bypass: flat
    audio.process(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    for (float db : reader.responseDb())
        EXPECT_EQ(db, 0.0f);

    effect->setParameter(Channel, 0.3f); // Clean
    audio.process(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    const auto clean = reader.responseDb();
    effect->setParameter(Low, 1.0f);
    effect->setParameter(High, 0.0f);
    audio.process(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TonestackResponse));
    const auto bassy = reader.responseDb();
    // More bass, less treble: the low end rises against the top end.
    EXPECT_GT(bassy[20] - bassy[160], clean[20] - clean[160] + 3.0f);
}

TEST(DisplayReader, TracesAndMetersComeFromTheAudio)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Audio audio(4096);
    audio.process(*effect);
    DisplayReader reader(*effect);
    ASSERT_TRUE(reader.readFrame(DisplayReader::View::TubeSaturation));
    int moving = 0;
    for (const auto& point : reader.trace(0))
        moving += point.in != 0.0 && point.out != point.in;
    EXPECT_GT(moving, 400) << "program 0 runs the tube stage after the channel";
    EXPECT_NE(reader.meters().powerBias, 0.0);
    EXPECT_GT(reader.meters().inPeak[1], 0.1);
}

} // namespace brimtone
