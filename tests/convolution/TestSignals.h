#pragma once
// Signals shared by the convolution tests.

#include <cmath>
#include <random>
#include <vector>

namespace brimtone::test {

inline std::vector<float> randomSignal(int length, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> signal(static_cast<std::size_t>(length));
    for (float& value : signal)
        value = uniform(generator);
    return signal;
}

template <class Convolver>
std::vector<float> runThrough(Convolver& convolver, const std::vector<float>& input)
{
    std::vector<float> output;
    output.reserve(input.size());
    for (float x : input)
        output.push_back(convolver.process(x));
    return output;
}

inline std::vector<float> unitImpulse(int length, int at)
{
    std::vector<float> signal(static_cast<std::size_t>(length), 0.0f);
    signal[static_cast<std::size_t>(at)] = 1.0f;
    return signal;
}

// y[t] = sum of h[k] * x[t - k + lead] over k = first ... h.size() - 1, in
// double (lead 1 gives the long convolver's one-sample-early output).
inline double directConvolution(const std::vector<float>& x, const std::vector<float>& h, int t, int first, int lead)
{
    double sum = 0.0;
    const int newest = t + lead;
    for (int k = first; k < static_cast<int>(h.size()) && k <= newest; ++k)
        if (newest - k < static_cast<int>(x.size()))
            sum += static_cast<double>(h[static_cast<std::size_t>(k)])
                   * static_cast<double>(x[static_cast<std::size_t>(newest - k)]);
    return sum;
}

} // namespace brimtone::test
