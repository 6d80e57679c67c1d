#include "AudioStream.h"

#include "PluginHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace brimtone::standalone {

namespace {

// Runs `fn` with standard error sent to /dev/null.
template <typename Fn>
auto quietly(Fn fn)
{
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 2);
        close(null);
    }
    auto result = fn();
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    return result;
}

std::string deviceName(PaDeviceIndex index)
{
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return std::string(Pa_GetHostApiInfo(info->hostApi)->name) + ": " + info->name;
}

// A device by its number or by part of "API: name", among those with channels that way.
PaDeviceIndex findDevice(const std::string& wanted, bool input)
{
    const int count = Pa_GetDeviceCount();
    char* end = nullptr;
    const long number = std::strtol(wanted.c_str(), &end, 10);
    const bool byNumber = end != wanted.c_str() && *end == '\0';
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        const int channels = input ? info->maxInputChannels : info->maxOutputChannels;
        if (byNumber
                ? i == number
                : channels > 0 && host::lowerCase(deviceName(i)).find(host::lowerCase(wanted)) != std::string::npos) {
            if (channels <= 0)
                throw AudioError("device " + std::to_string(i) + " (" + deviceName(i) + ") has no "
                                 + (input ? "input" : "output"));
            return i;
        }
    }
    throw AudioError("no " + std::string(input ? "input" : "output") + " device matches '" + wanted
                     + "' (see --list-devices)");
}

const char* const kNoDevice = "no audio device: start a JACK server (or PipeWire with its JACK support) or connect "
                              "an ALSA sound card (see --list-devices)";

// JACK when a server runs, otherwise the system's defaults.
void defaultDevices(PaDeviceIndex& input, PaDeviceIndex& output)
{
    const PaHostApiIndex jack = Pa_HostApiTypeIdToHostApiIndex(paJACK);
    if (jack >= 0) {
        const PaHostApiInfo* api = Pa_GetHostApiInfo(jack);
        if (api->defaultInputDevice != paNoDevice && api->defaultOutputDevice != paNoDevice) {
            input = api->defaultInputDevice;
            output = api->defaultOutputDevice;
            return;
        }
    }
    input = Pa_GetDefaultInputDevice();
    output = Pa_GetDefaultOutputDevice();
    if (input == paNoDevice || output == paNoDevice)
        throw AudioError(kNoDevice);
}

} // namespace

AudioSystem::AudioSystem()
{
    const PaError error = quietly([] { return Pa_Initialize(); });
    if (error != paNoError)
        throw AudioError(std::string("cannot start PortAudio: ") + Pa_GetErrorText(error));
}

AudioSystem::~AudioSystem() { Pa_Terminate(); }

std::string AudioSystem::deviceList() const
{
    const int count = Pa_GetDeviceCount();
    if (count <= 0)
        return std::string(kNoDevice) + "\n";
    std::string list;
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        char line[512];
        std::snprintf(line, sizeof line, "%3d  %-50s in %2d  out %2d  %6.0f Hz%s%s\n", i, deviceName(i).c_str(),
                      info->maxInputChannels, info->maxOutputChannels, info->defaultSampleRate,
                      i == Pa_GetDefaultInputDevice() ? "  default in" : "",
                      i == Pa_GetDefaultOutputDevice() ? "  default out" : "");
        list += line;
    }
    return list;
}

AudioStream::AudioStream(const AudioSystem&, vst::AEffect* effect, const StreamSettings& settings)
    : effect_(effect), block_(settings.block)
{
    if (Pa_GetDeviceCount() <= 0)
        throw AudioError(kNoDevice);
    PaDeviceIndex input = paNoDevice, output = paNoDevice;
    if (settings.device.empty()) {
        defaultDevices(input, output);
    } else {
        const auto comma = settings.device.find(',');
        const std::string in = settings.device.substr(0, comma);
        input = findDevice(in, true);
        output = findDevice(comma == std::string::npos ? in : settings.device.substr(comma + 1), false);
    }
    inputName_ = deviceName(input);
    outputName_ = deviceName(output);
    const PaDeviceInfo* inInfo = Pa_GetDeviceInfo(input);
    const PaDeviceInfo* outInfo = Pa_GetDeviceInfo(output);
    if (outInfo->maxOutputChannels < 2)
        throw AudioError("output device " + outputName_ + " has one channel; a stereo output is needed");
    inputChannels_ = settings.monoInput || inInfo->maxInputChannels < 2 ? 1 : 2;
    rate_ = settings.rate > 0.0 ? settings.rate : outInfo->defaultSampleRate;

    PaStreamParameters in{input, inputChannels_, paFloat32 | paNonInterleaved, inInfo->defaultLowInputLatency, nullptr};
    PaStreamParameters out{output, 2, paFloat32 | paNonInterleaved, outInfo->defaultLowOutputLatency, nullptr};
    PaError error = Pa_IsFormatSupported(&in, &out, rate_);
    if (error != paFormatIsSupported)
        throw AudioError("the devices refuse " + std::to_string(static_cast<int>(rate_)) + " Hz ("
                         + Pa_GetErrorText(error) + "); try --rate "
                         + std::to_string(static_cast<int>(outInfo->defaultSampleRate)));
    silence_.assign(static_cast<std::size_t>(block_), 0.0f);
    effect_->dispatcher(effect_, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
    effect_->dispatcher(effect_, vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate_));
    effect_->dispatcher(effect_, vst::effSetBlockSize, 0, block_, nullptr, 0.0f);
    effect_->dispatcher(effect_, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    error = quietly([&] {
        return Pa_OpenStream(&stream_, &in, &out, rate_, static_cast<unsigned long>(block_), paClipOff, callback, this);
    });
    if (error != paNoError)
        throw AudioError("the devices refuse a block of " + std::to_string(block_) + " frames at "
                         + std::to_string(static_cast<int>(rate_)) + " Hz (" + Pa_GetErrorText(error)
                         + "); try another --block");
}

AudioStream::~AudioStream()
{
    stop();
    if (stream_ != nullptr)
        Pa_CloseStream(stream_);
}

void AudioStream::start()
{
    const PaError error = Pa_StartStream(stream_);
    if (error != paNoError)
        throw AudioError(std::string("cannot start the audio: ") + Pa_GetErrorText(error));
    running_ = true;
}

void AudioStream::stop()
{
    if (running_)
        Pa_StopStream(stream_);
    running_ = false;
}

std::string AudioStream::description() const
{
    const PaStreamInfo* info = Pa_GetStreamInfo(stream_);
    const double inMs = info ? info->inputLatency * 1000.0 : 0.0;
    const double outMs = info ? info->outputLatency * 1000.0 : 0.0;
    const double blockMs = 1000.0 * block_ / rate_;
    char text[1024];
    std::snprintf(text, sizeof text,
                  "in:  %s%s\nout: %s\n%.0f Hz, %d frames a block\n"
                  "latency: input %.1f ms + block %.1f ms + output %.1f ms = %.1f ms",
                  inputName_.c_str(), inputChannels_ == 1 ? " (mono, left feeds both channels)" : "",
                  outputName_.c_str(), rate_, block_, inMs, blockMs, outMs, inMs + blockMs + outMs);
    return text;
}

int AudioStream::callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                          PaStreamCallbackFlags status, void* user)
{
    auto* self = static_cast<AudioStream*>(user);
    if (status & (paInputUnderflow | paInputOverflow | paOutputUnderflow | paOutputOverflow))
        self->xruns_.fetch_add(1, std::memory_order_relaxed);
    auto* const* ins = static_cast<float* const*>(input);
    auto* const* outs = static_cast<float* const*>(output);
    // PortAudio hands out blocks of the size asked for; longer ones are split all the same.
    for (unsigned long done = 0; done < frames;) {
        const auto count = std::min<unsigned long>(frames - done, static_cast<unsigned long>(self->block_));
        float* left = ins != nullptr ? ins[0] + done : self->silence_.data();
        float* right = ins != nullptr && self->inputChannels_ == 2 ? ins[1] + done : left;
        float* in[2] = {left, right};
        float* out[2] = {outs[0] + done, outs[1] + done};
        self->effect_->processReplacing(self->effect_, in, out, static_cast<std::int32_t>(count));
        done += count;
    }
    return paContinue;
}

} // namespace brimtone::standalone
