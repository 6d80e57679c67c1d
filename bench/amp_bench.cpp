// Cost of the amplifier model: each stage per (oversampled) sample, the whole
// amplifier path per host sample, and the whole plug-in's real-time factor.
// Counters: "per-sample" and "per-host-sample" are seconds per sample of one
// channel (shown with SI prefixes, n = nanoseconds); "x realtime" is the
// real-time factor at 48 kHz.

#include "engine/AmpEngine.h"
#include "shell/PluginEffect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace brimtone;

namespace {

constexpr double kRate = 48000.0;

// A guitar-like test signal: a decaying mix of partials at DI level.
std::vector<double> guitarSignal(std::size_t frames)
{
    std::vector<double> x(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = std::exp(-3.0 * std::fmod(t, 0.5));
        x[i] = 0.2 * env
               * (std::sin(2 * 3.141592653589793 * 110 * t) + 0.5 * std::sin(2 * 3.141592653589793 * 220 * t)
                  + 0.25 * std::sin(2 * 3.141592653589793 * 330 * t));
    }
    return x;
}

template <typename Stage, typename Process>
void stageBench(benchmark::State& state, Stage& stage, Process process)
{
    const std::vector<double> input = guitarSignal(4096);
    double sink = 0.0;
    for (auto _ : state) {
        for (double x : input)
            sink += process(stage, x);
        benchmark::DoNotOptimize(sink);
    }
    state.counters["per-sample"] = benchmark::Counter(static_cast<double>(state.iterations() * input.size()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

constexpr double kT16 = 1.0 / (kRate * 16.0);

void BM_InputFilter(benchmark::State& state)
{
    auto s = std::make_unique<InputFilter>();
    s->setCoefficients(true, kT16);
    stageBench(state, *s, [](InputFilter& f, double x) { return f.process(x, 0); });
}
void BM_DrivePreamp(benchmark::State& state)
{
    auto s = std::make_unique<DrivePreamp>();
    s->setCoefficients(true, true, kT16);
    stageBench(state, *s, [](DrivePreamp& f, double x) { return f.process(10.0 * x, 0); });
}
void BM_FlavorStage2000Lead(benchmark::State& state)
{
    auto s = std::make_unique<FlavorStage2000>();
    s->setCoefficients(0.5, true, kT16);
    stageBench(state, *s, [](FlavorStage2000& f, double x) { return f.process(10.0 * x, 0); });
}
void BM_FlavorStage1994(benchmark::State& state)
{
    auto s = std::make_unique<FlavorStage1994>();
    s->setCoefficients(0.5, kT16);
    stageBench(state, *s, [](FlavorStage1994& f, double x) { return f.process(10.0 * x, 0); });
}
void BM_Tonestack(benchmark::State& state)
{
    auto s = std::make_unique<Tonestack>();
    s->setCoefficients(0.3, 0.5, 0.6, true, kT16);
    stageBench(state, *s, [](Tonestack& f, double x) { return f.process(x, 0); });
}
void BM_CleanLevelAmp(benchmark::State& state)
{
    auto s = std::make_unique<CleanLevelAmp>();
    s->setCoefficients(0.5, kT16);
    stageBench(state, *s, [](CleanLevelAmp& f, double x) { return f.process(x, 0); });
}
void BM_CleanOutputFilter(benchmark::State& state)
{
    auto s = std::make_unique<CleanOutputFilter>();
    s->setCoefficients(0.5, true, false, kT16);
    stageBench(state, *s, [](CleanOutputFilter& f, double x) { return f.process(x, 0); });
}
void BM_DriveOutputFilter(benchmark::State& state)
{
    auto s = std::make_unique<DriveOutputFilter>();
    s->setCoefficients(1, true, 0.5, 0.5, kT16);
    stageBench(state, *s, [](DriveOutputFilter& f, double x) { return f.process(x, 0); });
}
void BM_TubeStage(benchmark::State& state)
{
    auto s = std::make_unique<TubeStage>();
    s->setCoefficients(6.0, 0.5, kT16);
    s->resetToOperatingPoint();
    stageBench(state, *s, [](TubeStage& f, double x) { return f.process(x, 0); });
}
// The up- and down-sampler of one channel back to back, per host sample.
template <int Factor>
void BM_OversamplingPair(benchmark::State& state)
{
    auto up = std::make_unique<OversamplingFilter>();
    auto down = std::make_unique<OversamplingFilter>();
    double sub[Factor];
    stageBench(state, *up, [&](OversamplingFilter& f, double x) {
        if constexpr (Factor == 4) {
            f.upsample4(x, sub);
            return down->downsample4(sub);
        } else {
            f.upsample16(x, sub);
            return down->downsample16(sub);
        }
    });
}
BENCHMARK(BM_InputFilter);
BENCHMARK(BM_DrivePreamp);
BENCHMARK(BM_FlavorStage2000Lead);
BENCHMARK(BM_FlavorStage1994);
BENCHMARK(BM_Tonestack);
BENCHMARK(BM_CleanLevelAmp);
BENCHMARK(BM_CleanOutputFilter);
BENCHMARK(BM_DriveOutputFilter);
BENCHMARK(BM_TubeStage);
BENCHMARK(BM_OversamplingPair<4>);
BENCHMARK(BM_OversamplingPair<16>);

// The amplifier path alone (cabinet and reverb off) through the engine:
// args = channel (1 Clean, 2 Drive, 3 Lead), tube mode, oversampling, channels.
void BM_AmplifierPath(benchmark::State& state)
{
    auto engine = std::make_unique<AmpEngine>();
    engine->setRate(kRate);
    engine->setChannel((static_cast<double>(state.range(0)) + 0.5) / 4.0);
    engine->setTubeMode(static_cast<double>(state.range(1)) / 2.0);
    engine->setOversampling(static_cast<double>(state.range(2)) / 2.0);
    engine->setAmpMode(0.5);
    engine->setGain(0.9);
    engine->setSpeaker(0.0);
    engine->setReverbMode(0.0);
    engine->applyUpdates();
    const int channels = static_cast<int>(state.range(3));
    const std::vector<double> input = guitarSignal(4096);
    SampleFrame frame;
    double sink = 0.0;
    for (auto _ : state) {
        for (double x : input) {
            for (int c = 0; c < channels; ++c) {
                frame.in = x;
                frame.channel = c;
                engine->processSample(frame);
                sink += frame.out;
            }
        }
        benchmark::DoNotOptimize(sink);
    }
    const double hostSamples = static_cast<double>(state.iterations() * input.size());
    state.counters["per-host-sample"]
        = benchmark::Counter(hostSamples * channels, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x realtime"] = benchmark::Counter(hostSamples / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AmplifierPath)
    ->ArgNames({"channel", "tube", "os", "chans"})
    ->ArgsProduct({{1, 2, 3}, {0, 1, 2}, {0, 1, 2}, {1, 2}});

std::intptr_t host(vst::AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The whole plug-in at 48 kHz stereo through the driver, exactly as a host
// calls it (blocks of 256), optionally with cabinet and reverb switched off.
void pluginBench(benchmark::State& state, int program, bool amplifierOnly)
{
    auto effect = std::make_unique<PluginEffect>(host);
    effect->setSampleRate(static_cast<float>(kRate));
    effect->setProgram(program);
    if (amplifierOnly) {
        effect->setParameter(SpkSim, 0.0f);
        effect->setParameter(RevMode, 0.0f);
    }
    const std::vector<double> signal = guitarSignal(256);
    std::vector<float> left(signal.begin(), signal.end()), right = left, outLeft(256), outRight(256);
    float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {outLeft.data(), outRight.data()};
    for (int i = 0; i < 20; ++i)
        effect->processReplacing(ins, outs, 256);
    for (auto _ : state) {
        effect->processReplacing(ins, outs, 256);
        benchmark::DoNotOptimize(outLeft.data());
    }
    state.counters["x realtime"]
        = benchmark::Counter(static_cast<double>(state.iterations()) * 256.0 / kRate, benchmark::Counter::kIsRate);
}

void BM_FactoryProgram(benchmark::State& state) { pluginBench(state, static_cast<int>(state.range(0)), false); }
BENCHMARK(BM_FactoryProgram)->DenseRange(0, 13);

// The reference point for the amplifier's speed: "Hi-Gain Lead" (Lead, 2000
// flavour, tube Post-EQ, 16x, stereo) with cabinet and reverb off.
void BM_HiGainLeadAmplifierOnly(benchmark::State& state) { pluginBench(state, 12, true); }
BENCHMARK(BM_HiGainLeadAmplifierOnly);

} // namespace

BENCHMARK_MAIN();
