#include "StandaloneOptions.h"

#include "CommandLine.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace brimtone::standalone {

const char* const usageText
    = "usage: brimtone-standalone [--device IN[,OUT]] [--rate HZ] [--block N] [--mono-input]\n"
      "                           [--program PROGRAM] [--preset FILE.fxp] [--no-gui] [--plugin PATH]\n"
      "                           [--list-devices] [-h|--help]\n"
      "\n"
      "Plays the audio input through the Brimtone plug-in to the audio output in real time.\n"
      "PageUp/PageDown or the arrow keys in the window step through the programs; Ctrl-C or\n"
      "closing the window stops. The settings are kept for the next start in\n"
      "$XDG_CONFIG_HOME/brimtone/standalone.fxp (default ~/.config/brimtone/standalone.fxp).\n"
      "\n"
      "  --device IN[,OUT]  input and output device, by number or part of the name as\n"
      "                     --list-devices shows them (default: JACK if a server runs, else\n"
      "                     the system's default devices)\n"
      "  --rate HZ          sample rate (default: the output device's own)\n"
      "  --block N          frames per audio block (16..4096, default 128)\n"
      "  --mono-input       the left input feeds both channels (one guitar jack)\n"
      "  --program PROGRAM  factory program, by index or name\n"
      "  --preset FILE.fxp  load a VST program file\n"
      "  --no-gui           no window; stop with Ctrl-C\n"
      "  --plugin PATH      the plug-in module to load\n"
      "  --list-devices     print the audio devices and exit\n"
      "  -h, --help         this text\n";

using host::parseNumber;

namespace {

// The options that take a text as it is.
std::string* textOption(StandaloneOptions& options, const char* arg)
{
    const std::pair<const char*, std::string StandaloneOptions::*> fields[] = {
        {"--device", &StandaloneOptions::device},
        {"--program", &StandaloneOptions::program},
        {"--preset", &StandaloneOptions::preset},
        {"--plugin", &StandaloneOptions::plugin},
    };
    for (const auto& [name, field] : fields)
        if (!std::strcmp(arg, name))
            return &(options.*field);
    return nullptr;
}

} // namespace

std::optional<StandaloneOptions> parseOptions(int argc, char** argv, std::string& error)
{
    StandaloneOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                error = std::string("missing value after ") + arg;
                return nullptr;
            }
            return argv[++i];
        };
        const char* text = nullptr;
        double number = 0.0;
        if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            options.help = true;
        } else if (!std::strcmp(arg, "--mono-input")) {
            options.monoInput = true;
        } else if (!std::strcmp(arg, "--no-gui")) {
            options.noGui = true;
        } else if (!std::strcmp(arg, "--list-devices")) {
            options.listDevices = true;
        } else if (std::string* field = textOption(options, arg)) {
            if (!(text = value()))
                return std::nullopt;
            *field = text;
        } else if (!std::strcmp(arg, "--rate")) {
            if (!(text = value()))
                return std::nullopt;
            if (!parseNumber(text, number) || !(number >= 8000.0 && number <= 192000.0)) {
                error = std::string("--rate must be a number from 8000 to 192000, got '") + text + "'";
                return std::nullopt;
            }
            options.rate = number;
        } else if (!std::strcmp(arg, "--block")) {
            if (!(text = value()))
                return std::nullopt;
            if (!parseNumber(text, number) || number < 16.0 || number > 4096.0 || number != static_cast<int>(number)) {
                error = std::string("--block must be a whole number from 16 to 4096, got '") + text + "'";
                return std::nullopt;
            }
            options.block = static_cast<int>(number);
        } else {
            error = std::string("unknown option '") + arg + "'";
            return std::nullopt;
        }
    }
    return options;
}

} // namespace brimtone::standalone
