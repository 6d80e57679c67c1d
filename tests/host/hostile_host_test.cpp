// The plug-in under a careless or hostile host, as a validator drives it: junk
// arguments, texts into buffers of exactly their size, huge and non-finite input,
// instances edited from other threads and closed, and what the audio thread
// allocates and waits for.
#include "AudioThreadCounters.h"
#include "PluginUnderTest.h"
#include "shell/Parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <thread>

using namespace brimtone;
using namespace brimtone::host;

namespace {

const PluginModule& module() { return pluginUnderTest(); }
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN(), kInf = std::numeric_limits<float>::infinity();

struct Block {
    explicit Block(int frames) : left(frames), right(frames), outLeft(frames), outRight(frames)
    {
        for (int i = 0; i < frames; ++i)
            left[i] = 0.3f * std::sin(i * 0.05f), right[i] = 0.2f * std::sin(i * 0.031f);
    }
    bool process(vst::AEffect* effect, int frames) // true when the output is finite
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, ins, outs, frames);
        auto finite = [](float x) { return std::isfinite(x); };
        return std::all_of(outLeft.begin(), outLeft.begin() + frames, finite)
               && std::all_of(outRight.begin(), outRight.begin() + frames, finite);
    }
    std::vector<float> left, right, outLeft, outRight;
};

// What a host's other threads do while the audio runs: parameters, programs, names,
// display texts and sample rates (8 to 384 kHz), in random order until `running` ends.
void editFromAHostThread(vst::AEffect* effect, unsigned seed, const std::atomic<bool>& running)
{
    std::mt19937 random(seed);
    const float rates[] = {8000.0f, 22050.0f, 44100.0f, 96000.0f, 192000.0f, 384000.0f};
    char text[64], name[] = "edited";
    while (running.load()) {
        for (int k = 0; k < 50; ++k)
            effect->setParameter(effect, static_cast<int>(random() % kNumParams),
                                 static_cast<float>(random() % 15) / 10.0f - 0.2f);
        effect->dispatcher(effect, vst::effSetProgram, 0, static_cast<std::intptr_t>(random() % 20), nullptr, 0.0f);
        effect->dispatcher(effect, vst::effSetProgramName, 0, 0, name, 0.0f);
        effect->dispatcher(effect, vst::effGetParamDisplay, static_cast<std::int32_t>(random() % kNumParams), 0, text,
                           0.0f);
        effect->dispatcher(effect, vst::effSetSampleRate, 0, 0, nullptr, rates[random() % 6]);
    }
}

// Passes an allocation through a volatile, so that the compiler keeps it.
void* kept(void* block)
{
    static void* volatile sink;
    sink = block;
    return sink;
}

} // namespace

TEST(HostileHost, EveryOpcodeWithNullAndJunkArguments)
{
    ASSERT_TRUE(module().loaded());
    Instance plugin(module(), 48000.0, 256);
    const std::int32_t indices[] = {0, -1, 7, INT32_MAX, INT32_MIN};
    const std::intptr_t values[] = {0, -1, 3, INTPTR_MAX, INTPTR_MIN};
    const float opts[] = {0.0f, -1.0f, 1e30f, kNaN, kInf};
    Block block(256);
    for (std::int32_t opcode = 0; opcode < 100; ++opcode) {
        // The speaker arrangements take a pointer in `value`.
        const bool pointerInValue = opcode == vst::effSetSpeakerArrangement || opcode == vst::effGetSpeakerArrangement;
        for (int k = 0; k < 5 && opcode != vst::effClose; ++k)
            plugin.dispatch(opcode, indices[k], pointerInValue ? 0 : values[k], nullptr, opts[k]);
        ASSERT_TRUE(block.process(plugin.effect(), 256)) << "after opcode " << opcode;
    }
    plugin.set(-1, 0.5f);
    plugin.set(kNumParams, 0.5f);
    EXPECT_EQ(plugin.get(-1), 0.0f);
    EXPECT_EQ(plugin.get(1 << 30), 0.0f);
}

TEST(HostileHost, TextsStayWithinTheirInterfaceSizes)
{
    ASSERT_TRUE(module().loaded());
    Instance plugin(module());
    char longName[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"; // longer than any limit
    plugin.dispatch(vst::effSetProgramName, 0, 0, longName);
    // Each text beside a guard band that must stay untouched, and in a heap
    // block of exactly its size, which AddressSanitizer guards.
    auto fits = [&](std::int32_t opcode, std::int32_t index, int size) { // size: terminator included
        std::vector<char> guarded(static_cast<std::size_t>(size + 16), '\x5a');
        plugin.dispatch(opcode, index, 0, guarded.data());
        EXPECT_NE(std::memchr(guarded.data(), '\0', static_cast<std::size_t>(size)), nullptr)
            << "opcode " << opcode << " leaves its text unterminated";
        for (int i = size; i < size + 16; ++i)
            EXPECT_EQ(guarded[i], '\x5a') << "opcode " << opcode << " index " << index << " writes byte " << i;
        auto exact = std::make_unique<char[]>(static_cast<std::size_t>(size));
        plugin.dispatch(opcode, index, 0, exact.get());
        EXPECT_STREQ(exact.get(), guarded.data());
    };
    fits(vst::effGetProgramName, 0, vst::kVstMaxProgNameLen);
    fits(vst::effGetEffectName, 0, vst::kVstMaxEffectNameLen);
    fits(vst::effGetVendorString, 0, vst::kVstMaxVendorStrLen);
    fits(vst::effGetProductString, 0, vst::kVstMaxProductStrLen);
    fits(vst::effGetParamName, -5, vst::kVstMaxParamStrLen + 1); // names: 8 characters and a terminator
    fits(vst::effGetParamLabel, Gain, vst::kVstMaxParamStrLen);
    for (int index = 0; index < kNumParams; ++index) {
        fits(vst::effGetParamName, index, vst::kVstMaxParamStrLen + 1);
        for (float value : {kNaN, kInf, -kInf, 1e30f, -1e30f, 123456.0f, -0.75f, 0.5f}) {
            plugin.set(index, value);
            fits(vst::effGetParamDisplay, index, vst::kVstMaxParamStrLen);
        }
    }
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "ABCDEFGHIJKLMNOPQRSTUVW"); // 23 characters
    EXPECT_EQ(plugin.text(vst::effGetParamName, TubeMode), "Tube Mod");
}

// Garbage from a broken plug-in earlier in the chain (huge finite values of
// both signs, NaN, infinities, the largest floats) acts exactly as if it were
// held at +40 dBFS and non-finite samples were silence: on every program with
// its limiter off the output after it matches that of the held input (within
// the dither), nothing nears speaker-destroying levels, and the Clean
// program is back to what the guitar alone gives one second after it.
TEST(HostileHost, HugeAndNonFiniteInputActAsHeldAtFortyDecibels)
{
    ASSERT_TRUE(module().loaded());
    constexpr double rate = 48000.0;
    const std::size_t second = static_cast<std::size_t>(rate);
    const std::vector<float> playing = pluckedLowE(rate, 2.0);
    const float garbageValues[] = {1e30f, kNaN, kInf, -kInf, std::numeric_limits<float>::max(), 1e12f};
    std::vector<float> garbage(second), held(second);
    for (std::size_t i = 0; i < second; ++i) {
        garbage[i] = i < second / 2 ? 1e30f : garbageValues[i % 6];
        held[i] = std::isfinite(garbage[i]) ? std::clamp(garbage[i], -100.0f, 100.0f) : 0.0f;
    }
    using Output = std::vector<float>; // left then right
    auto run = [&](int program, const std::vector<float>& burst) {
        Instance plugin(module(), rate, 256);
        plugin.dispatch(vst::effSetProgram, 0, program);
        plugin.set(Limiter, 0.0f);
        std::vector<float> left = burst, right(burst.size()), outLeft, outRight;
        std::transform(burst.begin(), burst.end(), right.begin(), [](float x) { return -x; });
        plugin.process(left, right, outLeft, outRight, 256);
        left = right = playing;
        plugin.process(left, right, outLeft, outRight, 256);
        outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
        return outLeft;
    };
    auto largestDifference = [&](const Output& a, const Output& b, std::size_t from) {
        double largest = 0.0;
        for (std::size_t i = from; i < a.size(); ++i)
            largest = std::max(largest, i % playing.size() < from ? 0.0 : std::fabs(double(a[i]) - b[i]));
        return largest;
    };

    for (int program = 0; program < 15; ++program) { // 14 to 19 are alike
        const Output afterGarbage = run(program, garbage);
        double loudest = 0.0;
        for (float x : afterGarbage)
            loudest = std::max(loudest, std::isfinite(x) ? std::fabs(double(x)) : HUGE_VAL);
        EXPECT_LT(loudest, 2.0) << "program " << program;
        EXPECT_GT(loudest, 0.05) << "program " << program << " plays the guitar";
        EXPECT_LT(largestDifference(afterGarbage, run(program, held), 0), 1e-4) << "program " << program;
    }
    // "Cleanest": a second of +-1e30 once gave bursts of 1e15 for seconds.
    constexpr int cleanest = 4;
    EXPECT_LT(largestDifference(run(cleanest, std::vector<float>(second, 1e30f)),
                                run(cleanest, std::vector<float>(second, 0.0f)), second),
              1e-3);
}

// Instances opened, run in blocks of any size and closed, every fourth while two
// host threads edit it. The closes fall between the long convolver's hand-offs
// (all made by 16384 samples) and its workers' staggered starts.
TEST(HostileHost, InstancesEditedFromOtherThreadsWhileAudioRunsAndClosed)
{
    ASSERT_TRUE(module().loaded());
    Block block(8192);
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
        Instance plugin(module(), 48000.0, 8192);
        vst::AEffect* effect = plugin.effect();
        plugin.set(SpkSim, i % 2 ? 1.0f : 0.5f);
        plugin.set(RevMode, 1.0f);
        const bool edited = i % 4 == 0;
        std::atomic<bool> running{true};
        std::vector<std::thread> editors;
        if (edited)
            for (unsigned seed : {7u, 11u})
                editors.emplace_back(editFromAHostThread, effect, seed + i, std::cref(running));
        bool finite = true;
        for (int done = 0, frames = 0, total = 16384 + (i % 10) * 256; finite && done < total; done += frames) {
            frames = std::min(total - done, edited && done == 0 ? 8192 : 1 + int(random() % 512));
            finite = block.process(effect, frames);
        }
        running = false;
        for (std::thread& t : editors)
            t.join();
        EXPECT_TRUE(finite) << "instance " << i;
        EXPECT_EQ(plugin.close(), 1);
    }
}

// The audio thread's contract: whatever the host changed since the last
// block, processing neither allocates (by any path) nor waits on a lock.
TEST(HostileHost, AudioThreadNeitherAllocatesNorBlocks)
{
    if (const std::string reason = counters::unavailableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    ASSERT_TRUE(module().loaded());
    counters::Counts probe; // the counters see every path they promise to
    {
        counters::AudioThreadScope scope(probe);
        std::free(kept(std::malloc(16)));
        std::free(kept(std::calloc(2, 8)));
        std::free(kept(std::realloc(nullptr, 8)));
        ::operator delete (kept(::operator new (32, std::align_val_t{64})), std::align_val_t{64});
        delete[] static_cast<int*>(kept(new int[4]));
        std::mutex mutex;
        mutex.lock();
        mutex.unlock();
    }
    ASSERT_EQ(probe.allocations, 5);
    ASSERT_EQ(probe.blockingLocks, 1);

    counters::Counts audio;
    Instance plugin(module(), 44100.0, 128);
    vst::AEffect* effect = plugin.effect();
    Block block(128);
    auto processCounted = [&] {
        counters::AudioThreadScope scope(audio);
        block.process(effect, 128);
        double in[128] = {}, out0[128], out1[128];
        double *ins[2] = {in, in}, *outs[2] = {out0, out1};
        effect->processDoubleReplacing(effect, ins, outs, 128);
    };
    processCounted();
    for (int program = 0; program < 20; ++program) {
        plugin.dispatch(vst::effSetProgram, 0, program);
        processCounted();
        for (int index = 0; index < kNumParams; ++index) {
            for (float value : {0.0f, 0.4f, 0.7f, 1.0f}) {
                plugin.set(index, value);
                processCounted();
            }
        }
        plugin.dispatch(vst::effSetSampleRate, 0, 0, nullptr, program % 2 ? 96000.0f : 44100.0f);
        processCounted();
    }
    plugin.set(SpkSim, 1.0f);
    plugin.set(RevMode, 1.0f);
    for (int i = 0; i < 2 * 96000 / 128; ++i)
        processCounted();
    EXPECT_EQ(audio.allocations, 0);
    EXPECT_EQ(audio.blockingLocks, 0);
    // Waiting for a convolution worker that is late is allowed, bounded by one job.
    std::printf("audio thread slept %ld times for a late convolution worker\n", audio.sleeps);
}
