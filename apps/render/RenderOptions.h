#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brimtone::render {

struct RenderOptions {
    std::string input; // empty: the built-in riff
    std::string output;
    std::string program;                                       // index or name; empty: keep program 0
    std::vector<std::pair<std::string, std::string>> settings; // --set NAME=VALUE, in order
    std::string preset;                                        // .fxp loaded into the program
    std::string bank;                                          // .fxb loaded into all programs
    std::string savePreset;                                    // .fxp written with the settings used
    double rate = 48000.0;
    bool rateGiven = false;
    int block = 256;
    bool useDouble = false;
    double tail = 0.0; // seconds of silence rendered after the input
    std::string plugin;
    bool list = false;
    bool help = false;
};

// Parses the command line; on a usage error returns nothing and sets `error`.
std::optional<RenderOptions> parseOptions(int argc, char** argv, std::string& error);

extern const char* const usageText;

} // namespace brimtone::render
