// The whole plug-in through its driver, as a host calls it: the cost the
// cabinet and the spring reverb add to a program, at 48 and 96 kHz stereo.
// "x realtime" is audio seconds processed per wall-clock second of the
// audio thread (the spring's longest partitions run on worker threads
// meanwhile). The machine's other load makes single runs noisy: compare on
// against off within one run, over repetitions, or read BM_CabinetAndSpringDrop,
// which interleaves the two.

#include "shell/PluginEffect.h"

#include <benchmark/benchmark.h>

#include <chrono>
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

// One instance playing one second of plucked notes in a loop, block by block.
class Player {
public:
    Player(int program, double rate, bool effects) : effect_(std::make_unique<PluginEffect>(host)), rate_(rate)
    {
        effect_->setSampleRate(static_cast<float>(rate));
        effect_->setProgram(program);
        effect_->setParameter(SpkSim, effects ? 1.0f : 0.0f);  // 4x12
        effect_->setParameter(RevMode, effects ? 1.0f : 0.0f); // spring
        blocks_ = static_cast<int>(rate) / kBlock;
        signal_.resize(static_cast<std::size_t>(blocks_ * kBlock));
        for (std::size_t i = 0; i < signal_.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            signal_[i] = static_cast<float>(0.2 * std::exp(-3.0 * std::fmod(t, 0.5))
                                            * std::sin(2.0 * 3.141592653589793 * 110.0 * t));
        }
        for (int i = 0; i < 50; ++i)
            processNext();
    }

    void processNext()
    {
        float* in = signal_.data() + block_ * kBlock;
        float* ins[2] = {in, in};
        float* outs[2] = {outLeft_.data(), outRight_.data()};
        effect_->processReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(outLeft_.data());
        block_ = (block_ + 1) % blocks_;
    }

    double rate() const { return rate_; }

private:
    std::unique_ptr<PluginEffect> effect_;
    double rate_;
    int blocks_ = 0;
    int block_ = 0;
    std::vector<float> signal_;
    std::vector<float> outLeft_ = std::vector<float>(kBlock);
    std::vector<float> outRight_ = std::vector<float>(kBlock);
};

// args: program, host rate, cabinet and spring on (1) or both off (0).
void BM_PluginCabinetAndSpring(benchmark::State& state)
{
    Player player(static_cast<int>(state.range(0)), static_cast<double>(state.range(1)), state.range(2) != 0);
    for (auto _ : state)
        player.processNext();
    state.counters["x realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / player.rate(),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PluginCabinetAndSpring)
    ->ArgNames({"program", "rate", "cab+spring"})
    ->ArgsProduct({{12, 1}, {48000, 96000}, {0, 1}})
    ->UseRealTime();

// The same comparison with both instances in one loop, a block of each in turn, each
// timed on its own: the machine's drifting load reaches both alike. "drop %" is how much
// of the real-time factor cabinet and spring take: 100 * (1 - off time / on time).
void BM_CabinetAndSpringDrop(benchmark::State& state)
{
    const int program = static_cast<int>(state.range(0));
    const double rate = static_cast<double>(state.range(1));
    Player off(program, rate, false);
    Player on(program, rate, true);
    using Clock = std::chrono::steady_clock;
    Clock::duration offTime{};
    Clock::duration onTime{};
    for (auto _ : state) {
        const auto start = Clock::now();
        off.processNext();
        const auto middle = Clock::now();
        on.processNext();
        onTime += Clock::now() - middle;
        offTime += middle - start;
    }
    const double offSeconds = std::chrono::duration<double>(offTime).count();
    const double onSeconds = std::chrono::duration<double>(onTime).count();
    const double audioSeconds = static_cast<double>(state.iterations()) * kBlock / rate;
    state.counters["off x realtime"] = audioSeconds / offSeconds;
    state.counters["on x realtime"] = audioSeconds / onSeconds;
    state.counters["drop %"] = 100.0 * (1.0 - offSeconds / onSeconds);
}
BENCHMARK(BM_CabinetAndSpringDrop)->ArgNames({"program", "rate"})->ArgsProduct({{12, 1}, {48000, 96000}});

} // namespace

BENCHMARK_MAIN();
