#pragma once
#include <optional>
#include <string>

namespace brimtone::standalone {

struct StandaloneOptions {
    std::string device; // "IN[,OUT]": index or part of a name; empty: the default devices
    double rate = 0.0;  // 0: the output device's own rate
    int block = 128;
    bool monoInput = false;
    bool noGui = false;
    bool listDevices = false;
    std::string program; // index or name
    std::string preset;  // .fxp
    std::string plugin;
    bool help = false;
};

// Parses the command line; on a usage error returns nothing and sets `error`.
std::optional<StandaloneOptions> parseOptions(int argc, char** argv, std::string& error);

extern const char* const usageText;

} // namespace brimtone::standalone
