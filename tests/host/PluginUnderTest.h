#pragma once
// The built plug-in module the host tests load, once per test program, and
// the tests' guitar: a plucked low E with its harmonics, decaying, at DI level.

#include "PluginHost.h"

#include <cmath>
#include <string>
#include <vector>

inline std::string pluginPath()
{
#ifdef _WIN32
    return "Brimtone.dll"; // beside the test program
#else
    return BRIMTONE_PLUGIN_PATH;
#endif
}

inline const brimtone::host::PluginModule& pluginUnderTest()
{
    static brimtone::host::PluginModule loaded(pluginPath());
    return loaded;
}

inline std::vector<float> pluckedLowE(double rate, double seconds)
{
    std::vector<float> x(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0.0;
        for (int h = 1; h <= 6; ++h)
            v += std::sin(2.0 * 3.141592653589793 * 82.41 * h * t) / h;
        x[i] = static_cast<float>(0.15 * std::exp(-2.0 * t) * v);
    }
    return x;
}
