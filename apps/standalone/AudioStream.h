#pragma once
// Real-time audio through PortAudio (JACK, ALSA and whatever else it was built
// with): the input runs through the plug-in's processReplacing to the output.

#include "vst/Vst2.h"

#include <portaudio.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace brimtone::standalone {

class AudioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// PortAudio for as long as it lives. Its host APIs probe JACK and ALSA on start
// and print their complaints; those are kept off the terminal.
class AudioSystem {
public:
    AudioSystem();
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    std::string deviceList() const; // one line per device, numbered as --device takes them
};

struct StreamSettings {
    std::string device; // "IN[,OUT]"
    double rate = 0.0;  // 0: the output device's own
    int block = 128;
    bool monoInput = false;
};

class AudioStream {
public:
    // Opens the devices for `effect`; throws AudioError with a one-line reason.
    AudioStream(const AudioSystem& system, vst::AEffect* effect, const StreamSettings& settings);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    void start();
    void stop(); // waits for the last block
    double rate() const { return rate_; }
    std::string description() const; // devices, rate, block, latency
    long xruns() const { return xruns_.load(std::memory_order_relaxed); }

private:
    static int callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags status, void* self);

    vst::AEffect* effect_;
    PaStream* stream_ = nullptr;
    double rate_ = 0.0;
    int block_ = 0;
    int inputChannels_ = 2;
    std::string inputName_, outputName_;
    std::vector<float> silence_;
    std::atomic<long> xruns_{0};
    bool running_ = false;
};

} // namespace brimtone::standalone
