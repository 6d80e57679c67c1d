// How evenly the whole plug-in spends its time block by block, as a host with a
// small buffer sees it: median, 99.9th percentile and maximum time of one
// processReplacing call for program 12 ("Hi-Gain Lead", cabinet and hall on) at
// 48 kHz. A block that costs far more than the median is a dropout waiting to
// happen at low latency even when the average is comfortable; "max/median" is
// the figure to watch. Wall-clock time is what the host sees; on a busy machine
// other processes show up in it as spikes, so the audio thread's own CPU time
// per block is given beside it ("cpu ..."): the work the plug-in itself puts
// on a block, which is what has to be spread evenly.

#include "shell/PluginEffect.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include <time.h>

using namespace brimtone;

namespace {

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

constexpr double kRate = 48000.0;
constexpr int kProgram = 12;
constexpr double kSecondsTimed = 12.0; // several passes of every long-convolver hand-off

double threadCpuMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e6 * static_cast<double>(now.tv_sec) + 1e-3 * static_cast<double>(now.tv_nsec);
}

struct Spread {
    double median, p999, max;
};

Spread spreadOf(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[std::min(micros.size() - 1, micros.size() * 999 / 1000)], micros.back()};
}

// args: block size in frames.
void BM_BlockTime(benchmark::State& state)
{
    const int block = static_cast<int>(state.range(0));
    auto effect = std::make_unique<PluginEffect>(host);
    effect->setSampleRate(static_cast<float>(kRate));
    effect->setBlockSize(block);
    effect->setProgram(kProgram);

    const int blocks = static_cast<int>(kSecondsTimed * kRate) / block;
    std::vector<float> input(static_cast<std::size_t>(block));
    std::vector<float> outLeft(input.size());
    std::vector<float> outRight(input.size());
    std::vector<double> wallMicros(static_cast<std::size_t>(blocks));
    std::vector<double> cpuMicros(wallMicros.size());
    using Clock = std::chrono::steady_clock;

    for (auto _ : state) {
        long sample = 0;
        auto play = [&](std::size_t i) {
            for (float& x : input) {
                const double t = static_cast<double>(sample++) / kRate;
                x = static_cast<float>(0.2 * std::exp(-3.0 * std::fmod(t, 0.5)) * std::sin(2.0 * M_PI * 110.0 * t));
            }
            float* ins[2] = {input.data(), input.data()};
            float* outs[2] = {outLeft.data(), outRight.data()};
            const double cpuStart = threadCpuMicros();
            const auto start = Clock::now();
            effect->processReplacing(ins, outs, block);
            benchmark::DoNotOptimize(outLeft.data());
            const auto end = Clock::now();
            cpuMicros[i] = threadCpuMicros() - cpuStart;
            wallMicros[i] = std::chrono::duration<double, std::micro>(end - start).count();
        };
        for (int i = 0; i < static_cast<int>(kRate) / block; ++i) // one second to settle
            play(0);
        for (std::size_t i = 0; i < wallMicros.size(); ++i)
            play(i);
    }

    const Spread wall = spreadOf(wallMicros);
    const Spread cpu = spreadOf(cpuMicros);
    state.counters["median us"] = wall.median;
    state.counters["p99.9 us"] = wall.p999;
    state.counters["max us"] = wall.max;
    state.counters["max/median"] = wall.max / wall.median;
    state.counters["cpu median us"] = cpu.median;
    state.counters["cpu p99.9 us"] = cpu.p999;
    state.counters["cpu max/median"] = cpu.max / cpu.median;
    state.counters["budget us"] = 1e6 * block / kRate;
}
BENCHMARK(BM_BlockTime)->ArgName("frames")->Arg(32)->Arg(64)->Arg(256)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
