// A JACK client that plays an impulse train into another client's inputs, records
// what comes back from that client's first output, and reports whether the return
// is the amplifier's (finite, audible, not a plain copy) and the round-trip delay.
//
//   jack_loop_client CLIENT SECONDS
//
// Exit 0 when every check holds, 1 when one fails, 2 when the run cannot be made.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr float kImpulse = 0.5f;
constexpr double kImpulseSpacingSeconds = 0.2;

struct Loop {
    jack_port_t* out = nullptr;
    jack_port_t* in = nullptr;
    std::vector<float> sent;
    std::vector<float> returned;
    std::size_t spacing = 0;
    std::atomic<bool> armed{false};
    std::atomic<std::size_t> frame{0};
};

int process(jack_nframes_t frames, void* user)
{
    auto* loop = static_cast<Loop*>(user);
    auto* out = static_cast<float*>(jack_port_get_buffer(loop->out, frames));
    const auto* in = static_cast<const float*>(jack_port_get_buffer(loop->in, frames));
    std::size_t at = loop->frame.load(std::memory_order_relaxed);
    const bool armed = loop->armed.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const bool recording = armed && at < loop->sent.size();
        out[i] = recording ? loop->sent[at] : 0.0f;
        if (recording)
            loop->returned[at++] = in[i];
    }
    loop->frame.store(at, std::memory_order_relaxed);
    return 0;
}

// The names of `client`'s audio ports that way, or an empty list.
std::vector<std::string> portsOf(jack_client_t* jack, const std::string& client, unsigned long flags)
{
    std::vector<std::string> names;
    const std::string pattern = "^" + client + ":";
    if (const char** ports = jack_get_ports(jack, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, flags)) {
        for (const char** p = ports; *p != nullptr; ++p)
            names.emplace_back(*p);
        jack_free(ports);
    }
    return names;
}

// The first frame in [from, to) where the return rises above a twentieth of its peak
// there: the onset of the amplifier's answer to an impulse, above the ringing of
// the one before.
long onset(const std::vector<float>& returned, std::size_t from, std::size_t to)
{
    float peak = 0.0f;
    for (std::size_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(returned[i]));
    if (peak < 1e-4f)
        return -1;
    for (std::size_t i = from; i < to; ++i)
        if (std::fabs(returned[i]) > 0.05f * peak)
            return static_cast<long>(i - from);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: jack_loop_client CLIENT SECONDS\n");
        return 2;
    }
    const std::string target = argv[1];
    const double seconds = std::atof(argv[2]);
    jack_status_t status{};
    jack_client_t* jack = jack_client_open("brimtone_loop", JackNoStartServer, &status);
    if (jack == nullptr) {
        std::fprintf(stderr, "jack_loop_client: no JACK server (status 0x%x)\n", static_cast<unsigned>(status));
        return 2;
    }
    const double rate = jack_get_sample_rate(jack);
    Loop loop;
    loop.spacing = static_cast<std::size_t>(kImpulseSpacingSeconds * rate);
    const std::size_t impulses = std::max<std::size_t>(3, static_cast<std::size_t>(seconds / kImpulseSpacingSeconds));
    loop.sent.assign(impulses * loop.spacing, 0.0f);
    loop.returned.assign(loop.sent.size(), 0.0f);
    for (std::size_t k = 0; k < impulses; ++k)
        loop.sent[k * loop.spacing] = kImpulse;
    loop.out = jack_port_register(jack, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    loop.in = jack_port_register(jack, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (loop.out == nullptr || loop.in == nullptr || jack_set_process_callback(jack, process, &loop) != 0
        || jack_activate(jack) != 0) {
        std::fprintf(stderr, "jack_loop_client: cannot register and activate the ports\n");
        return 2;
    }

    // The app's inputs hear only this client; its first output comes back here.
    const auto inputs = portsOf(jack, target, JackPortIsInput);
    const auto outputs = portsOf(jack, target, JackPortIsOutput);
    if (inputs.empty() || outputs.empty()) {
        std::fprintf(stderr, "jack_loop_client: client '%s' has no audio ports\n", target.c_str());
        jack_client_close(jack);
        return 2;
    }
    for (const auto& name : inputs) {
        if (const char** others = jack_port_get_all_connections(jack, jack_port_by_name(jack, name.c_str()))) {
            for (const char** p = others; *p != nullptr; ++p)
                jack_disconnect(jack, *p, name.c_str());
            jack_free(others);
        }
        jack_connect(jack, jack_port_name(loop.out), name.c_str());
    }
    jack_connect(jack, outputs.front().c_str(), jack_port_name(loop.in));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    loop.armed = true;
    // A server that stops running cycles leaves the recording short.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds + 5.0);
    while (loop.frame.load() < loop.sent.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (loop.frame.load() < loop.sent.size()) {
        std::fprintf(stderr, "jack_loop_client: the server stopped running cycles\n");
        jack_client_close(jack);
        return 2;
    }
    const float dspLoad = jack_cpu_load(jack);
    jack_client_close(jack);

    bool finite = true;
    float peak = 0.0f;
    double difference = 0.0, energy = 0.0;
    for (std::size_t i = 0; i < loop.returned.size(); ++i) {
        finite = finite && std::isfinite(loop.returned[i]);
        peak = std::max(peak, std::fabs(loop.returned[i]));
        energy += double(loop.returned[i]) * loop.returned[i];
    }
    // The first impulse may fall before the connections take; the rest give the delay.
    std::vector<long> delays;
    for (std::size_t k = 1; k < impulses; ++k)
        if (const long d = onset(loop.returned, k * loop.spacing, (k + 1) * loop.spacing); d >= 0)
            delays.push_back(d);
    std::sort(delays.begin(), delays.end());
    const long delay = delays.empty() ? -1 : delays[delays.size() / 2];
    // A plain copy would be the impulse train again, delayed and scaled: what is
    // left after taking away the best-fitting copy is the amplifier's doing.
    if (delay >= 0) {
        double match = 0.0, copyEnergy = 0.0;
        for (std::size_t i = static_cast<std::size_t>(delay); i < loop.returned.size(); ++i) {
            const double copy = loop.sent[i - static_cast<std::size_t>(delay)];
            match += copy * loop.returned[i];
            copyEnergy += copy * copy;
        }
        difference = energy - match * match / copyEnergy;
    }
    const bool changed = delay >= 0 && energy > 0.0 && difference > 0.1 * energy;
    const bool audible = peak > 1e-3f;
    const bool steady = !delays.empty() && delays.back() - delays.front() <= 1;

    std::printf("sent: %zu impulses of %.2f, %.0f ms apart, at %.0f Hz\n", impulses, kImpulse,
                kImpulseSpacingSeconds * 1000.0, rate);
    std::printf("returned: peak %.1f dBFS, %s, %.0f%% of its energy not a copy of the input\n",
                20.0 * std::log10(std::max(peak, 1e-12f)), finite ? "finite" : "NOT FINITE",
                energy > 0.0 ? 100.0 * difference / energy : 0.0);
    std::printf("changed by the amp: %s\n", finite && audible && changed ? "yes" : "no");
    if (delay >= 0)
        std::printf("round trip: %ld frames = %.2f ms (%zu impulses, %s)\n", delay,
                    1000.0 * static_cast<double>(delay) / rate, delays.size(), steady ? "steady" : "varying");
    else
        std::printf("round trip: no impulse came back\n");
    std::printf("JACK DSP load: %.1f%%\n", dspLoad);
    return finite && audible && changed && steady ? 0 : 1;
}
