// brimtone-render: an offline host. It loads the plug-in module through its
// exported entry point, as a DAW does, and renders an audio file (or the
// built-in guitar riff) through it.

#include "CommandLine.h"
#include "GuitarRiff.h"
#include "PluginHost.h"
#include "Preset.h"
#include "RenderOptions.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

using namespace brimtone;
using namespace brimtone::render;

using host::fail;
using host::Failure;

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

std::string lower(const std::string& text) { return host::lowerCase(text); }

std::string parameterName(host::Instance& plugin, int index) { return plugin.text(vst::effGetParamName, index); }

std::string displayAt(host::Instance& plugin, int index, float value)
{
    plugin.set(index, value);
    return plugin.text(vst::effGetParamDisplay, index);
}

// A value 0..1, or one of the parameter's display texts: the middle of the
// range of values that show that text.
void applySetting(host::Instance& plugin, const std::string& name, const std::string& valueText)
{
    int index = -1;
    for (int i = 0; i < plugin.effect()->numParams; ++i)
        if (lower(parameterName(plugin, i)) == lower(name))
            index = i;
    if (index < 0)
        fail("unknown parameter '" + name + "' (see --list)");

    char* end = nullptr;
    const double number = std::strtod(valueText.c_str(), &end);
    if (end != valueText.c_str() && *end == '\0') {
        if (!(number >= 0.0 && number <= 1.0))
            fail("value " + valueText + " for " + name + " out of range (0..1)");
        plugin.set(index, static_cast<float>(number));
        return;
    }
    const float previous = plugin.get(index);
    constexpr int kSteps = 1000;
    int first = -1, last = -1;
    for (int step = 0; step <= kSteps; ++step) {
        if (lower(displayAt(plugin, index, static_cast<float>(step) / kSteps)) == lower(valueText)) {
            if (first < 0)
                first = step;
            last = step;
        }
    }
    if (first < 0) {
        plugin.set(index, previous);
        fail("'" + valueText + "' is not a value of " + name + " (give 0..1 or a choice shown by --list)");
    }
    plugin.set(index, static_cast<float>(first + last) / (2.0f * kSteps));
}

void listPlugin(host::Instance& plugin)
{
    std::printf("Parameters:\n");
    for (int i = 0; i < plugin.effect()->numParams; ++i) {
        const float value = plugin.get(i);
        std::printf("  %2d %-9s %-8s (%.3f)\n", i, parameterName(plugin, i).c_str(),
                    plugin.text(vst::effGetParamDisplay, i).c_str(), static_cast<double>(value));
    }
    const auto current = plugin.dispatch(vst::effGetProgram);
    std::printf("Programs:\n");
    for (int p = 0; p < plugin.effect()->numPrograms; ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        std::printf("  %2d %s%s\n", p, plugin.text(vst::effGetProgramName).c_str(), p == current ? "  (current)" : "");
    }
    plugin.dispatch(vst::effSetProgram, 0, current);
}

struct Level {
    double peak = 0.0;
    double sumSquares = 0.0;
    std::size_t count = 0;
    void add(double x)
    {
        peak = std::max(peak, std::fabs(x));
        sumSquares += x * x;
        ++count;
    }
    static double dB(double value)
    {
        return value > 0.0 ? 20.0 * std::log10(value) : -std::numeric_limits<double>::infinity();
    }
    double peakDb() const { return dB(peak); }
    double rmsDb() const { return dB(count ? std::sqrt(sumSquares / static_cast<double>(count)) : 0.0); }
};

int outputFormat(const std::string& path, int inputFormat)
{
    int container = inputFormat & SF_FORMAT_TYPEMASK;
    if (container == 0) {
        const std::string ext
            = lower(path.substr(path.find_last_of('.') == std::string::npos ? path.size() : path.find_last_of('.')));
        container = ext == ".aif" || ext == ".aiff" ? SF_FORMAT_AIFF : ext == ".flac" ? SF_FORMAT_FLAC : SF_FORMAT_WAV;
    }
    // FLAC holds no floating point: 24-bit there.
    return container | (container == SF_FORMAT_FLAC ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT);
}

class ProgressBar {
public:
    explicit ProgressBar(std::size_t total, double rate)
        : total_(total), active_(isatty(2) && static_cast<double>(total) > rate * 10.0)
    {}
    void update(std::size_t done)
    {
        if (!active_)
            return;
        const int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total_));
        if (percent == shown_)
            return;
        shown_ = percent;
        const int width = 40, filled = percent * width / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled,
                     "", percent);
    }
    ~ProgressBar()
    {
        if (active_ && shown_ >= 0)
            std::fputc('\n', stderr);
    }

private:
    std::size_t total_;
    bool active_;
    int shown_ = -1;
};

// Removes the temporary output unless the render completes.
class TemporaryOutput {
public:
    explicit TemporaryOutput(std::string finalPath)
        : finalPath_(std::move(finalPath)), path_(finalPath_ + ".partial-" + std::to_string(getpid()))
    {}
    ~TemporaryOutput()
    {
        if (file_ != nullptr)
            sf_close(file_);
        if (!committed_)
            std::remove(path_.c_str());
    }
    SNDFILE* open(SF_INFO& info)
    {
        file_ = sf_open(path_.c_str(), SFM_WRITE, &info);
        if (file_ == nullptr)
            fail("cannot write '" + finalPath_ + "': " + sf_strerror(nullptr));
        return file_;
    }
    void commit()
    {
        const int closed = sf_close(file_);
        file_ = nullptr;
        if (closed != 0)
            fail("cannot finish '" + finalPath_ + "'");
        if (std::rename(path_.c_str(), finalPath_.c_str()) != 0)
            fail("cannot write '" + finalPath_ + "': " + std::strerror(errno));
        committed_ = true;
    }

private:
    std::string finalPath_;
    std::string path_;
    SNDFILE* file_ = nullptr;
    bool committed_ = false;
};

int run(const RenderOptions& options)
{
    std::string pluginPath = options.plugin;
    if (pluginPath.empty())
        pluginPath = host::defaultPluginPath(BRIMTONE_DEFAULT_PLUGIN);
    host::PluginModule module(pluginPath);
    if (const std::string problem = host::pluginProblem(pluginPath, module); !problem.empty())
        fail("cannot load the plug-in: " + problem);

    // The source: a file, streamed, or the built-in riff.
    SNDFILE* input = nullptr;
    SF_INFO inputInfo{};
    std::vector<float> riff;
    double rate = options.rate;
    std::size_t totalFrames = 0;
    if (!options.input.empty()) {
        input = sf_open(options.input.c_str(), SFM_READ, &inputInfo);
        if (input == nullptr)
            fail("cannot read '" + options.input + "': " + sf_strerror(nullptr));
        if (inputInfo.channels < 1 || inputInfo.channels > 2) {
            sf_close(input);
            fail("'" + options.input + "' has " + std::to_string(inputInfo.channels)
                 + " channels; mono or stereo only");
        }
        rate = inputInfo.samplerate;
        if (!(rate > 10000.0 && rate < 200000.0)) {
            sf_close(input);
            fail("'" + options.input + "' has a sample rate of " + std::to_string(inputInfo.samplerate)
                 + " Hz; 10000 to 200000 Hz only");
        }
        totalFrames = static_cast<std::size_t>(inputInfo.frames);
    } else if (!options.output.empty()) {
        riff = synthesizeRiff(rate);
        totalFrames = riff.size();
    }
    struct CloseInput {
        SNDFILE* file;
        ~CloseInput()
        {
            if (file)
                sf_close(file);
        }
    } closeInput{input};

    host::Instance plugin(module, rate, options.block);
    if (plugin.effect() == nullptr)
        fail("the plug-in refused to start");
    // A bank fills every program before -p chooses among them; a program file
    // loads into the program -p chose.
    const host::PresetTarget target = host::presetTarget(plugin);
    if (!options.bank.empty())
        host::applyBank(plugin, host::readBankFile(options.bank, target));
    if (!options.program.empty())
        if (const std::string problem = plugin.selectProgram(options.program); !problem.empty())
            fail(problem + " (see --list)");
    if (!options.preset.empty())
        host::applyProgram(plugin, host::readProgramFile(options.preset, target));
    for (const auto& [name, value] : options.settings)
        applySetting(plugin, name, value);
    if (!options.savePreset.empty())
        host::writePresetFile(options.savePreset, host::encodeProgram(target, host::captureProgram(plugin)));
    if (options.list)
        listPlugin(plugin);
    if (options.output.empty())
        return 0;

    SF_INFO outputInfo{};
    outputInfo.samplerate = static_cast<int>(std::lround(rate));
    outputInfo.channels = 2;
    outputInfo.format = outputFormat(options.output, inputInfo.format);
    if (!sf_format_check(&outputInfo))
        fail("cannot write this format to '" + options.output + "'");
    TemporaryOutput output(options.output);
    SNDFILE* out = output.open(outputInfo);

    const std::size_t tailFrames = static_cast<std::size_t>(options.tail * rate);
    const auto block = static_cast<std::size_t>(options.block);
    std::vector<float> interleaved(block * 2), outInterleaved(block * 2);
    std::vector<float> left(block), right(block), outLeft(block), outRight(block);
    std::vector<double> dLeft(block), dRight(block), dOutLeft(block), dOutRight(block);
    Level inputLevel, outputLevel;
    ProgressBar progress(totalFrames + tailFrames, rate);
    std::chrono::duration<double> processing{0};
    std::size_t done = 0, riffPos = 0, tailDone = 0;
    const int inputChannels = input ? inputInfo.channels : 1;

    for (;;) {
        if (interrupted)
            fail("interrupted");
        std::size_t frames = 0;
        if (input != nullptr) {
            frames
                = static_cast<std::size_t>(sf_readf_float(input, interleaved.data(), static_cast<sf_count_t>(block)));
            for (std::size_t i = 0; i < frames; ++i) {
                left[i] = interleaved[i * static_cast<std::size_t>(inputChannels)];
                right[i] = inputChannels == 2 ? interleaved[i * 2 + 1] : left[i];
            }
        } else {
            frames = std::min(block, riff.size() - riffPos);
            std::copy_n(riff.begin() + static_cast<std::ptrdiff_t>(riffPos), frames, left.begin());
            std::copy_n(left.begin(), frames, right.begin());
            riffPos += frames;
        }
        if (frames == 0) {
            frames = std::min(block, tailFrames - tailDone);
            if (frames == 0)
                break;
            std::fill_n(left.begin(), frames, 0.0f);
            std::fill_n(right.begin(), frames, 0.0f);
            tailDone += frames;
        }
        for (std::size_t i = 0; i < frames; ++i) {
            inputLevel.add(left[i]);
            if (inputChannels == 2)
                inputLevel.add(right[i]);
        }

        const auto start = std::chrono::steady_clock::now();
        const auto count = static_cast<std::int32_t>(frames);
        if (options.useDouble) {
            std::copy_n(left.begin(), frames, dLeft.begin());
            std::copy_n(right.begin(), frames, dRight.begin());
            double* ins[2] = {dLeft.data(), dRight.data()};
            double* outs[2] = {dOutLeft.data(), dOutRight.data()};
            plugin.effect()->processDoubleReplacing(plugin.effect(), ins, outs, count);
            for (std::size_t i = 0; i < frames; ++i) {
                outLeft[i] = static_cast<float>(dOutLeft[i]);
                outRight[i] = static_cast<float>(dOutRight[i]);
            }
        } else {
            float* ins[2] = {left.data(), right.data()};
            float* outs[2] = {outLeft.data(), outRight.data()};
            plugin.effect()->processReplacing(plugin.effect(), ins, outs, count);
        }
        processing += std::chrono::steady_clock::now() - start;

        for (std::size_t i = 0; i < frames; ++i) {
            outInterleaved[i * 2] = outLeft[i];
            outInterleaved[i * 2 + 1] = outRight[i];
            outputLevel.add(outLeft[i]);
            outputLevel.add(outRight[i]);
        }
        if (sf_writef_float(out, outInterleaved.data(), static_cast<sf_count_t>(frames))
            != static_cast<sf_count_t>(frames))
            fail("cannot write '" + options.output + "': " + sf_strerror(out));
        done += frames;
        progress.update(done);
    }
    output.commit();

    const double seconds = static_cast<double>(done) / rate;
    const double rtf
        = processing.count() > 0.0 ? seconds / processing.count() : std::numeric_limits<double>::infinity();
    std::printf("%s -> %s\n", options.input.empty() ? "built-in riff" : options.input.c_str(), options.output.c_str());
    std::printf("  %.2f s at %.0f Hz, %s processing, block %d\n", seconds, rate,
                options.useDouble ? "64-bit" : "32-bit", options.block);
    std::printf("  input:  peak %7.2f dBFS   RMS %7.2f dBFS\n", inputLevel.peakDb(), inputLevel.rmsDb());
    std::printf("  output: peak %7.2f dBFS   RMS %7.2f dBFS\n", outputLevel.peakDb(), outputLevel.rmsDb());
    std::printf("  real-time factor: %.1fx\n", rtf);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "brimtone-render: %s\n%s", error.c_str(), "Try 'brimtone-render --help'.\n");
        return 2;
    }
    if (options->help) {
        std::fputs(usageText, stdout);
        return 0;
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        return run(*options);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "brimtone-render: error: %s\n", failure.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brimtone-render: error: %s\n", e.what());
        return 1;
    }
}
