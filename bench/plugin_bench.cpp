// The whole plug-in through its driver, as a host calls it: the cost the
// cabinet and the spring reverb add to a program, at 48 and 96 kHz stereo.
// "x realtime" is audio seconds processed per wall-clock second of the
// audio thread (the spring's longest partitions run on worker threads
// meanwhile). The machine's other load makes single runs noisy: compare on
// against off within one run, over repetitions.

#include "shell/PluginEffect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace brimtone;

namespace {

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

constexpr int kBlock = 256;

// args: program, host rate, cabinet and spring on (1) or both off (0).
void BM_PluginCabinetAndSpring(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(1));
    auto effect = std::make_unique<PluginEffect>(host);
    effect->setSampleRate(static_cast<float>(rate));
    effect->setProgram(static_cast<std::int32_t>(state.range(0)));
    const bool effects = state.range(2) != 0;
    effect->setParameter(SpkSim, effects ? 1.0f : 0.0f);  // 4x12
    effect->setParameter(RevMode, effects ? 1.0f : 0.0f); // spring

    // One second of plucked notes, played in a loop block by block.
    const int blocks = static_cast<int>(rate) / kBlock;
    std::vector<float> signal(static_cast<std::size_t>(blocks * kBlock));
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        signal[i] = static_cast<float>(0.2 * std::exp(-3.0 * std::fmod(t, 0.5)) *
                                       std::sin(2.0 * 3.141592653589793 * 110.0 * t));
    }
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    float* outs[2] = {outLeft.data(), outRight.data()};
    int block = 0;
    auto processNext = [&] {
        float* in = signal.data() + block * kBlock;
        float* ins[2] = {in, in};
        effect->processReplacing(ins, outs, kBlock);
        block = (block + 1) % blocks;
    };
    for (int i = 0; i < 50; ++i)
        processNext();
    for (auto _ : state) {
        processNext();
        benchmark::DoNotOptimize(outLeft.data());
    }
    state.counters["x realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / rate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PluginCabinetAndSpring)
    ->ArgNames({"program", "rate", "cab+spring"})
    ->ArgsProduct({{12, 1}, {48000, 96000}, {0, 1}})
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
