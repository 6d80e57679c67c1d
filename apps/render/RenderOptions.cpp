#include "RenderOptions.h"

#include "CommandLine.h"

#include <cstdlib>
#include <cstring>

namespace brimtone::render {

const char* const usageText
    = "usage: brimtone-render [INPUT] -o OUTPUT [-p PROGRAM] [--preset FILE.fxp | --bank FILE.fxb]\n"
      "                       [--set NAME=VALUE]... [--save-preset FILE.fxp] [--rate HZ] [--block N]\n"
      "                       [--double] [--tail SECONDS] [--plugin PATH] [--list] [-h|--help]\n"
      "\n"
      "Renders INPUT (WAV, AIFF or FLAC, mono or stereo) through the Brimtone plug-in into OUTPUT\n"
      "(same container, 32-bit float stereo; FLAC as 24-bit). Without INPUT a built-in plucked-string\n"
      "guitar riff is rendered at --rate (default 48000).\n"
      "\n"
      "  -o OUTPUT          file to write (written to a temporary file, renamed when complete)\n"
      "  -p PROGRAM         factory program, by index (0..19) or name (\"Hi-Gain Lead\")\n"
      "  --preset FILE.fxp  load a VST program file into the chosen program\n"
      "  --bank FILE.fxb    load a VST bank into all programs; -p then chooses from the bank\n"
      "                     (default: the bank's current program)\n"
      "  --save-preset FILE.fxp  write the program and settings used as a VST program file\n"
      "                     (-o may then be left out)\n"
      "  --set NAME=VALUE   parameter by its host name, with a value 0..1 or a display choice\n"
      "                     (--set Channel=Lead, --set Oversmpl=16x, --set 'SpkSim=4x12\"', --set Gain=0.8)\n"
      "  --rate HZ          sample rate of the built-in riff (10000..200000)\n"
      "  --block N          host block size (1..65536, default 256)\n"
      "  --double           process in 64-bit floating point (processDoubleReplacing)\n"
      "  --tail SECONDS     render this much silence after the input, for reverb tails (default 0)\n"
      "  --plugin PATH      the plug-in module to load (default: the one built beside this tool)\n"
      "  --list             print the parameters with their display texts, and the programs\n"
      "  -h, --help         this text\n";

using host::parseNumber;

namespace {

std::string* presetOption(RenderOptions& options, const char* arg)
{
    if (!std::strcmp(arg, "--preset"))
        return &options.preset;
    if (!std::strcmp(arg, "--bank"))
        return &options.bank;
    if (!std::strcmp(arg, "--save-preset"))
        return &options.savePreset;
    return nullptr;
}

} // namespace

std::optional<RenderOptions> parseOptions(int argc, char** argv, std::string& error)
{
    RenderOptions options;
    auto needValue = [&](int& i, const char* flag) -> const char* {
        if (i + 1 >= argc) {
            error = std::string("missing value after ") + flag;
            return nullptr;
        }
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = nullptr;
        double number = 0.0;
        if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            options.help = true;
        } else if (!std::strcmp(arg, "--list")) {
            options.list = true;
        } else if (!std::strcmp(arg, "--double")) {
            options.useDouble = true;
        } else if (!std::strcmp(arg, "-o") || !std::strcmp(arg, "--output")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            options.output = value;
        } else if (!std::strcmp(arg, "-p") || !std::strcmp(arg, "--program")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            options.program = value;
        } else if (std::string* file = presetOption(options, arg)) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            *file = value;
        } else if (!std::strcmp(arg, "--set")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            const char* equals = std::strchr(value, '=');
            if (equals == nullptr || equals == value) {
                error = std::string("--set expects NAME=VALUE, got '") + value + "'";
                return std::nullopt;
            }
            options.settings.emplace_back(std::string(value, equals), std::string(equals + 1));
        } else if (!std::strcmp(arg, "--rate")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            if (!parseNumber(value, number) || !(number > 10000.0 && number < 200000.0)) {
                error
                    = std::string("--rate must be a number between 10000 and 200000 (exclusive), got '") + value + "'";
                return std::nullopt;
            }
            options.rate = number;
            options.rateGiven = true;
        } else if (!std::strcmp(arg, "--block")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            if (!parseNumber(value, number) || number < 1.0 || number > 65536.0 || number != static_cast<int>(number)) {
                error = std::string("--block must be a whole number from 1 to 65536, got '") + value + "'";
                return std::nullopt;
            }
            options.block = static_cast<int>(number);
        } else if (!std::strcmp(arg, "--tail")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            if (!parseNumber(value, number) || !(number >= 0.0 && number <= 600.0)) {
                error = std::string("--tail must be a number of seconds from 0 to 600, got '") + value + "'";
                return std::nullopt;
            }
            options.tail = number;
        } else if (!std::strcmp(arg, "--plugin")) {
            if (!(value = needValue(i, arg)))
                return std::nullopt;
            options.plugin = value;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            error = std::string("unknown option '") + arg + "'";
            return std::nullopt;
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            error = std::string("more than one input file ('") + options.input + "', '" + arg + "')";
            return std::nullopt;
        }
    }
    if (!options.preset.empty() && !options.bank.empty()) {
        error = "give --preset or --bank, not both";
        return std::nullopt;
    }
    if (!options.help && !options.list && options.output.empty() && options.savePreset.empty()) {
        error = "no output file given (-o OUTPUT)";
        return std::nullopt;
    }
    return options;
}

} // namespace brimtone::render
