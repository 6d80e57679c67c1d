// The convolution engine's costs: the real FFT (forward plus inverse) against
// FFTW's single-precision real transform at every plan size, and each
// convolver against a direct-form FIR of the same response, per sample.

#include "convolution/LongConvolver.h"
#include "convolution/RealFft.h"
#include "convolution/ShortConvolver.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using namespace brimtone;

std::vector<float> noise(int length, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> signal(static_cast<std::size_t>(length));
    for (float& value : signal)
        value = uniform(generator);
    return signal;
}

void BM_RealFftForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::unique_ptr<RealFftPlan> plan = createRealFftPlan(n);
    const std::vector<float> input = noise(n, 1u);
    std::vector<float> spectrum(static_cast<std::size_t>(n));
    std::vector<float> output(static_cast<std::size_t>(n));
    for (auto _ : state) {
        plan->forward(spectrum.data(), input.data());
        plan->inverse(spectrum.data(), output.data());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RealFftForwardInverse)->RangeMultiplier(2)->Range(128, 16384);

void BM_FftwForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    float* input = fftwf_alloc_real(static_cast<std::size_t>(n));
    fftwf_complex* spectrum = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    float* output = fftwf_alloc_real(static_cast<std::size_t>(n));
    const fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, input, spectrum, FFTW_MEASURE);
    const fftwf_plan inverse = fftwf_plan_dft_c2r_1d(n, spectrum, output, FFTW_MEASURE);
    const std::vector<float> signal = noise(n, 1u);
    std::copy(signal.begin(), signal.end(), input);
    for (auto _ : state) {
        fftwf_execute(forward);
        fftwf_execute(inverse);
        benchmark::DoNotOptimize(output);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(inverse);
    fftwf_free(input);
    fftwf_free(spectrum);
    fftwf_free(output);
}
BENCHMARK(BM_FftwForwardInverse)->RangeMultiplier(2)->Range(128, 16384);

// Plain direct-form FIR over a mirrored input ring with the taps `first` ...
// end of the response (the newest sample meets tap `first`): the reference
// cost of each convolver. A scalar loop, as written without -ffast-math.
class DirectFormFir {
public:
    DirectFormFir(const std::vector<float>& response, int first)
        : taps_(response.rbegin(), response.rend() - first), ring_(2 * taps_.size(), 0.0f)
    {}

    float process(float x)
    {
        const std::size_t length = taps_.size();
        ring_[position_] = x;
        ring_[position_ + length] = x;
        position_ = (position_ + 1) % length;
        // The oldest sample meets the last tap: taps_ is the response reversed.
        const float* window = ring_.data() + position_;
        float y = 0.0f;
        for (std::size_t k = 0; k < length; ++k)
            y += taps_[k] * window[k];
        return y;
    }

private:
    std::vector<float> taps_;
    std::vector<float> ring_;
    std::size_t position_ = 0;
};

constexpr int blockSamples = 4096;

template <class Filter>
void runSamples(benchmark::State& state, Filter& filter)
{
    const std::vector<float> input = noise(blockSamples, 3u);
    for (auto _ : state)
        for (float x : input)
            benchmark::DoNotOptimize(filter.process(x));
    state.SetItemsProcessed(state.iterations() * blockSamples);
}

void BM_ShortConvolverPerSample(benchmark::State& state)
{
    const std::vector<float> response = noise(ShortConvolver::responseLength, 2u);
    auto convolver = std::make_unique<ShortConvolver>();
    convolver->setImpulseResponse(response.data());
    runSamples(state, *convolver);
}
BENCHMARK(BM_ShortConvolverPerSample);

void BM_ShortDirectFormPerSample(benchmark::State& state)
{
    DirectFormFir fir(noise(ShortConvolver::responseLength, 2u), 0);
    runSamples(state, fir);
}
BENCHMARK(BM_ShortDirectFormPerSample);

void BM_LongConvolverPerSample(benchmark::State& state)
{
    const std::vector<float> response = noise(LongConvolver::responseLength, 2u);
    auto convolver = std::make_unique<LongConvolver>();
    convolver->setImpulseResponse(response.data());
    runSamples(state, *convolver);
}
BENCHMARK(BM_LongConvolverPerSample)->UseRealTime();

void BM_LongDirectFormPerSample(benchmark::State& state)
{
    DirectFormFir fir(noise(LongConvolver::responseLength, 2u), LongConvolver::skippedSamples);
    runSamples(state, fir);
}
BENCHMARK(BM_LongDirectFormPerSample);

} // namespace

BENCHMARK_MAIN();
