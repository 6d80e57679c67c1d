// The audio thread's contract: processing (parameter hand-off and coefficient
// updates included) allocates nothing, and host threads may edit parameters
// and switch programs while it runs.

#include "shell/PluginEffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationsSeen{0};

void* countedAllocation(std::size_t size)
{
    if (countingAllocations.load(std::memory_order_relaxed))
        allocationsSeen.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return countedAllocation(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace brimtone {
namespace {

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

struct Buffers {
    explicit Buffers(int frames) : left(frames), right(frames), outLeft(frames), outRight(frames)
    {
        for (int i = 0; i < frames; ++i) {
            left[i] = 0.3f * static_cast<float>(std::sin(i * 0.05));
            right[i] = 0.2f * static_cast<float>(std::sin(i * 0.031));
        }
    }
    void process(PluginEffect& effect)
    {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        effect.processReplacing(ins, outs, static_cast<std::int32_t>(left.size()));
    }
    void processDouble(PluginEffect& effect)
    {
        std::vector<double>& l = dl;
        double* ins[2] = {l.data(), l.data()};
        double* outs[2] = {dOutLeft.data(), dOutRight.data()};
        effect.processDoubleReplacing(ins, outs, static_cast<std::int32_t>(left.size()));
    }
    std::vector<float> left, right, outLeft, outRight;
    std::vector<double> dl = std::vector<double>(left.size(), 0.1), dOutLeft = dl, dOutRight = dl;
};

} // namespace

TEST(RealTime, ProcessingAllocatesNothing)
{
    auto effect = std::make_unique<PluginEffect>(host);
    Buffers buffers(128);
    buffers.process(*effect); // let threads and lazy statics settle

    long allocations = 0;
    auto measure = [&](auto&& call) {
        allocationsSeen = 0;
        countingAllocations = true;
        call();
        countingAllocations = false;
        allocations += allocationsSeen.load();
    };
    for (int program = 0; program < kNumPrograms; ++program) {
        effect->setProgram(program);
        measure([&] { buffers.process(*effect); });
        for (int index = 0; index < kNumParams; ++index) {
            for (float value : {0.0f, 0.4f, 0.7f, 1.0f}) {
                effect->setParameter(index, value);
                measure([&] {
                    buffers.process(*effect);
                    buffers.processDouble(*effect);
                });
            }
        }
        effect->setSampleRate(program % 2 ? 96000.0f : 44100.0f);
        measure([&] { buffers.process(*effect); });
    }
    EXPECT_EQ(allocations, 0);
}

TEST(RealTime, ParameterAndProgramEditsWhileProcessing)
{
    auto effect = std::make_unique<PluginEffect>(host);
    std::atomic<bool> running{true};
    std::thread editor([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> index(0, kNumParams - 1), program(0, kNumPrograms - 1);
        std::uniform_real_distribution<float> value(-0.2f, 1.2f);
        char text[16];
        while (running) {
            for (int i = 0; i < 50; ++i)
                effect->setParameter(index(random), value(random));
            effect->setProgram(program(random));
            effect->getParameterDisplay(index(random), text);
            effect->setSampleRate(random() % 2 ? 48000.0f : 44100.0f);
        }
    });
    Buffers buffers(64);
    for (int block = 0; block < 600; ++block) {
        buffers.process(*effect);
        for (float x : buffers.outLeft)
            ASSERT_TRUE(std::isfinite(x));
    }
    running = false;
    editor.join();
}

} // namespace brimtone
