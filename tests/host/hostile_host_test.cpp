// The plug-in under a careless or hostile host, as a validator drives it:
// every opcode with null and junk arguments, texts into buffers of exactly
// their interface size, program numbers of any width, huge and non-finite
// input, edits from other threads while audio runs, many instances with
// their worker threads, and what the audio thread allocates and waits for.

#include "AudioThreadCounters.h"
#include "PluckedString.h"
#include "PluginUnderTest.h"
#include "shell/Parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
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
#include <vector>

using namespace brimtone;
using namespace brimtone::host;

namespace {

const PluginModule& module() { return pluginUnderTest(); }

// Buffers for processReplacing that the test allocates once.
struct Block {
    explicit Block(int frames) : left(frames), right(frames), outLeft(frames), outRight(frames)
    {
        for (int i = 0; i < frames; ++i) {
            left[i] = 0.3f * static_cast<float>(std::sin(i * 0.05));
            right[i] = 0.2f * static_cast<float>(std::sin(i * 0.031));
        }
    }
    void process(vst::AEffect* effect, int frames)
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, ins, outs, frames);
    }
    bool finite() const
    {
        return std::all_of(outLeft.begin(), outLeft.end(), [](float x) { return std::isfinite(x); })
               && std::all_of(outRight.begin(), outRight.end(), [](float x) { return std::isfinite(x); });
    }
    std::vector<float> left, right, outLeft, outRight;
};

// Fails the run (instead of hanging it) when `seconds` pass before it is destroyed.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread_([this, seconds] {
              std::unique_lock<std::mutex> hold(mutex_);
              if (!done_.wait_for(hold, std::chrono::seconds(seconds), [this] { return finished_; })) {
                  std::fprintf(stderr, "watchdog: no progress for %d s, the plug-in hangs\n", seconds);
                  std::abort();
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

} // namespace

TEST(HostileHost, EveryOpcodeWithNullAndJunkArguments)
{
    ASSERT_TRUE(module().loaded());
    Instance plugin(module(), 48000.0, 256);
    const std::int32_t indices[]
        = {0, -1, 7, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
    const std::intptr_t values[]
        = {0, -1, 3, std::numeric_limits<std::intptr_t>::max(), std::numeric_limits<std::intptr_t>::min()};
    const float opts[]
        = {0.0f, -1.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    Block block(256);
    for (std::int32_t opcode = 0; opcode < 100; ++opcode) {
        if (opcode == vst::effClose)
            continue;
        // These two take a pointer in `value` (by the interface's definition).
        const bool pointerInValue = opcode == vst::effSetSpeakerArrangement || opcode == vst::effGetSpeakerArrangement;
        for (int k = 0; k < 5; ++k)
            plugin.dispatch(opcode, indices[k], pointerInValue ? 0 : values[k], nullptr, opts[k]);
        block.process(plugin.effect(), 256);
        ASSERT_TRUE(block.finite()) << "after opcode " << opcode;
    }
    // Parameters out of range read as nothing and change nothing.
    plugin.set(-1, 0.5f);
    plugin.set(kNumParams, 0.5f);
    EXPECT_EQ(plugin.get(-1), 0.0f);
    EXPECT_EQ(plugin.get(1 << 30), 0.0f);
    EXPECT_EQ(plugin.close(), 1);
}

TEST(HostileHost, TextsStayWithinTheirInterfaceSizes)
{
    ASSERT_TRUE(module().loaded());
    Instance plugin(module());
    char longName[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"; // longer than any limit
    plugin.dispatch(vst::effSetProgramName, 0, 0, longName);

    struct Text {
        std::int32_t opcode;
        std::int32_t index;
        int size; // bytes the host provides, terminator included
    };
    // Parameter names keep their 8 characters and a terminator after them.
    const Text texts[] = {
        {vst::effGetProgramName, 0, vst::kVstMaxProgNameLen},
        {vst::effGetEffectName, 0, vst::kVstMaxEffectNameLen},
        {vst::effGetVendorString, 0, vst::kVstMaxVendorStrLen},
        {vst::effGetProductString, 0, vst::kVstMaxProductStrLen},
        {vst::effGetParamName, TubeMode, vst::kVstMaxParamStrLen + 1},
        {vst::effGetParamName, -5, vst::kVstMaxParamStrLen + 1},
        {vst::effGetParamLabel, Gain, vst::kVstMaxParamStrLen},
        {vst::effGetParamDisplay, Input, vst::kVstMaxParamStrLen},
        {vst::effGetParamDisplay, SpkSim, vst::kVstMaxParamStrLen},
    };
    constexpr int guard = 16;
    for (const Text& text : texts) {
        // Beside a guard band that must stay untouched...
        std::vector<char> guarded(static_cast<std::size_t>(text.size + guard), '\x5a');
        plugin.dispatch(text.opcode, text.index, 0, guarded.data());
        EXPECT_NE(std::memchr(guarded.data(), '\0', static_cast<std::size_t>(text.size)), nullptr)
            << "opcode " << text.opcode << " leaves its text unterminated";
        for (int i = text.size; i < text.size + guard; ++i)
            ASSERT_EQ(guarded[i], '\x5a') << "opcode " << text.opcode << " writes byte " << i;
        // ...and in a heap block of exactly the size, which AddressSanitizer guards.
        auto exact = std::make_unique<char[]>(static_cast<std::size_t>(text.size));
        plugin.dispatch(text.opcode, text.index, 0, exact.get());
        EXPECT_STREQ(exact.get(), guarded.data());
    }
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "ABCDEFGHIJKLMNOPQRSTUVW"); // 23 characters
    EXPECT_EQ(plugin.text(vst::effGetParamName, TubeMode), "Tube Mod");
}

TEST(HostileHost, ProgramNumbersOutOfRangeInAnyWidthAreIgnored)
{
    ASSERT_TRUE(module().loaded());
    Instance plugin(module());
    plugin.dispatch(vst::effSetProgram, 0, 3);
    ASSERT_EQ(plugin.dispatch(vst::effGetProgram), 3);
    const std::intptr_t outOfRange[] = {
        -1,
        20,
        static_cast<std::intptr_t>(-(std::int64_t{1} << 40)),
        static_cast<std::intptr_t>(static_cast<std::uint64_t>(0xFFFFFFFF00000005ull)),
        static_cast<std::intptr_t>(std::int64_t{1} << 32),
        std::numeric_limits<std::intptr_t>::max(),
        std::numeric_limits<std::intptr_t>::min(),
    };
    for (std::intptr_t value : outOfRange) {
        plugin.dispatch(vst::effSetProgram, 0, value);
        EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 3) << "value " << value;
    }
    plugin.dispatch(vst::effSetProgram, 0, 19);
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 19);
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
    const float garbageValues[] = {1e30f,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity(),
                                   std::numeric_limits<float>::max(),
                                   1e12f};
    std::vector<float> garbage(second), held(second);
    for (std::size_t i = 0; i < second; ++i) {
        garbage[i] = i < second / 2 ? 1e30f : garbageValues[i % 6];
        held[i] = std::isfinite(garbage[i]) ? std::clamp(garbage[i], -100.0f, 100.0f) : 0.0f;
    }

    struct Output {
        std::vector<float> left, right;
    };
    auto run = [&](int program, const std::vector<float>& burst) {
        Instance plugin(module(), rate, 256);
        plugin.dispatch(vst::effSetProgram, 0, program);
        plugin.set(Limiter, 0.0f);
        std::vector<float> left = burst, right(burst.size()), out, ignored;
        std::transform(burst.begin(), burst.end(), right.begin(), [](float x) { return -x; });
        plugin.process(left, right, out, ignored, 256);
        Output played;
        left = playing;
        right = playing;
        plugin.process(left, right, played.left, played.right, 256);
        return played;
    };
    auto largestDifference = [&](const Output& a, const Output& b, std::size_t from) {
        double largest = 0.0;
        for (std::size_t i = from; i < playing.size(); ++i)
            largest = std::max(
                {largest, std::fabs(double(a.left[i]) - b.left[i]), std::fabs(double(a.right[i]) - b.right[i])});
        return largest;
    };

    std::vector<std::vector<float>> tested; // programs with the same settings behave alike
    for (int program = 0; program < 20; ++program) {
        Instance probe(module());
        probe.dispatch(vst::effSetProgram, 0, program);
        std::vector<float> settings;
        for (int index = 0; index < kNumParams; ++index)
            settings.push_back(probe.get(index));
        if (std::find(tested.begin(), tested.end(), settings) != tested.end())
            continue;
        tested.push_back(settings);

        const Output afterHeld = run(program, held);
        const Output afterGarbage = run(program, garbage);
        double loudest = 0.0;
        for (const auto* side : {&afterGarbage.left, &afterGarbage.right})
            for (float x : *side)
                loudest = std::max(loudest, std::isfinite(x) ? std::fabs(double(x)) : HUGE_VAL);
        EXPECT_LT(loudest, 2.0) << "program " << program;
        EXPECT_LT(largestDifference(afterGarbage, afterHeld, 0), 1e-4) << "program " << program;
    }
    EXPECT_GE(tested.size(), 10u);

    // "Cleanest": a second of +-1e30 once gave bursts of 1e15 for seconds.
    constexpr int cleanest = 4;
    const Output clean = run(cleanest, std::vector<float>(second, 0.0f));
    const Output afterHuge = run(cleanest, std::vector<float>(second, 1e30f));
    EXPECT_LT(largestDifference(afterHuge, clean, second), 1e-3);
}

// Parameters, programs, names and rates change from two host threads while
// the audio thread processes blocks of every size at rates from 8 to 384 kHz.
TEST(HostileHost, EditsFromOtherThreadsWhileAudioRuns)
{
    ASSERT_TRUE(module().loaded());
    Watchdog watchdog(120);
    Instance plugin(module(), 48000.0, 8192);
    vst::AEffect* effect = plugin.effect();
    std::atomic<bool> running{true};
    auto editor = [&](unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> index(0, kNumParams - 1), program(0, 19);
        std::uniform_real_distribution<float> value(-0.2f, 1.2f);
        const float rates[] = {8000.0f, 22050.0f, 44100.0f, 96000.0f, 192000.0f, 384000.0f};
        char text[64];
        char name[] = "edited";
        while (running.load()) {
            for (int i = 0; i < 50; ++i)
                effect->setParameter(effect, index(random), value(random));
            effect->dispatcher(effect, vst::effSetProgram, 0, program(random), nullptr, 0.0f);
            effect->dispatcher(effect, vst::effSetProgramName, 0, 0, name, 0.0f);
            effect->dispatcher(effect, vst::effGetParamDisplay, index(random), 0, text, 0.0f);
            effect->dispatcher(effect, vst::effSetSampleRate, 0, 0, nullptr, rates[random() % 6]);
            effect->getParameter(effect, index(random));
        }
    };
    std::thread first(editor, 7u), second(editor, 11u);
    Block block(8192);
    std::mt19937 random(3);
    for (int i = 0; i < 400; ++i) {
        const int frames = i % 50 == 0 ? 8192 : 1 + static_cast<int>(random() % 512);
        block.process(effect, frames);
        ASSERT_TRUE(std::all_of(block.outLeft.begin(), block.outLeft.begin() + frames,
                                [](float x) { return std::isfinite(x); }))
            << "block " << i;
    }
    running = false;
    first.join();
    second.join();
}

// Many instances, each with the cabinet and spring reverb's worker threads,
// closed at every stage of their hand-offs, some while an editing thread works.
TEST(HostileHost, ManyInstancesOpenedRunAndClosed)
{
    ASSERT_TRUE(module().loaded());
    Watchdog watchdog(120);
    const std::vector<float> input = pluckedLowE(48000.0, 0.5);
    for (int i = 0; i < 40; ++i) {
        Instance plugin(module(), 48000.0, 512);
        plugin.set(SpkSim, i % 2 ? 1.0f : 0.5f);
        plugin.set(RevMode, 1.0f);
        // 16384 samples hand every long-convolver job over; the closes fall
        // between there and the workers' staggered starts.
        const std::size_t length = 16384 + static_cast<std::size_t>(i % 10) * 256;
        std::vector<float> left(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(length)), right = left,
                                                                                                     outLeft, outRight;
        std::atomic<bool> editing{i % 4 == 0};
        std::thread editor([&] {
            while (editing.load())
                plugin.set(Gain, 0.3f);
        });
        plugin.process(left, right, outLeft, outRight, 512);
        editing = false;
        editor.join();
        ASSERT_TRUE(std::isfinite(outLeft.back()));
        EXPECT_EQ(plugin.close(), 1);
    }
}

// The audio thread's contract: whatever the host changed since the last
// block, processing neither allocates (by any path) nor waits on a lock.
// The first block after each change is counted, the instance's very first
// block included.
TEST(HostileHost, AudioThreadNeitherAllocatesNorBlocks)
{
    const std::string reason = counters::unavailableReason();
    if (!reason.empty())
        GTEST_SKIP() << reason;
    ASSERT_TRUE(module().loaded());

    // The counters see every path they promise to.
    counters::Counts probe;
    {
        counters::AudioThreadScope scope(probe);
        static void* volatile sink;
        sink = std::malloc(16);
        std::free(sink);
        sink = std::calloc(2, 8);
        std::free(sink);
        sink = std::realloc(nullptr, 8);
        std::free(sink);
        sink = ::operator new (32, std::align_val_t{64});
        ::operator delete (sink, std::align_val_t{64});
        sink = new int[4];
        delete[] static_cast<int*>(sink);
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
        double* ins[2] = {in, in};
        double* outs[2] = {out0, out1};
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
    // Two seconds of playing with the cabinet and the spring reverb, whose
    // convolution workers the audio thread hands jobs to.
    plugin.set(SpkSim, 1.0f);
    plugin.set(RevMode, 1.0f);
    for (int i = 0; i < 2 * 96000 / 128; ++i)
        processCounted();
    EXPECT_EQ(audio.allocations, 0);
    EXPECT_EQ(audio.blockingLocks, 0);
    // Waiting for a convolution worker that is late is allowed, bounded by one job.
    RecordProperty("late_worker_waits", static_cast<int>(audio.sleeps));
    std::printf("audio thread slept %ld times for a late convolution worker\n", audio.sleeps);
}
