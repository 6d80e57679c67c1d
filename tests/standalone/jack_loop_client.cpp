// A JACK client that plays an impulse train into another client's inputs, records
// what comes back from that client's first output, and reports whether the return
// is the amplifier's (finite, audible, not a plain copy) and the round-trip delay.
//   jack_loop_client CLIENT SECONDS
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

jack_port_t *outPort = nullptr, *inPort = nullptr;
std::vector<float> sent, returned;
std::atomic<bool> armed{false};
std::atomic<std::size_t> recorded{0};

int process(jack_nframes_t frames, void*)
{
    auto* out = static_cast<float*>(jack_port_get_buffer(outPort, frames));
    const auto* in = static_cast<const float*>(jack_port_get_buffer(inPort, frames));
    std::size_t at = recorded.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const bool recording = armed.load(std::memory_order_relaxed) && at < sent.size();
        out[i] = recording ? sent[at] : 0.0f;
        if (recording)
            returned[at++] = in[i];
    }
    recorded.store(at, std::memory_order_relaxed);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    jack_client_t* jack = argc == 3 ? jack_client_open("brimtone_loop", JackNoStartServer, nullptr) : nullptr;
    if (jack == nullptr) {
        std::fprintf(stderr, "usage: jack_loop_client CLIENT SECONDS, with a JACK server running\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]), rate = jack_get_sample_rate(jack);
    const std::size_t spacing = static_cast<std::size_t>(0.2 * rate); // impulses of 0.5, 200 ms apart
    const std::size_t impulses = std::max<std::size_t>(3, static_cast<std::size_t>(seconds / 0.2));
    sent.assign(impulses * spacing, 0.0f);
    returned.assign(sent.size(), 0.0f);
    for (std::size_t k = 0; k < impulses; ++k)
        sent[k * spacing] = 0.5f;
    outPort = jack_port_register(jack, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    inPort = jack_port_register(jack, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    const std::string pattern = "^" + std::string(argv[1]) + ":";
    const char** inputs = jack_get_ports(jack, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput);
    const char** outputs = jack_get_ports(jack, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    if (!outPort || !inPort || jack_set_process_callback(jack, process, nullptr) || jack_activate(jack) || !inputs
        || !outputs) {
        std::fprintf(stderr, "jack_loop_client: cannot register the ports or find client '%s'\n", argv[1]);
        return 2;
    }
    // The app's inputs hear only this client; its first output comes back here.
    for (const char** name = inputs; *name != nullptr; ++name) {
        if (const char** others = jack_port_get_all_connections(jack, jack_port_by_name(jack, *name))) {
            for (const char** p = others; *p != nullptr; ++p)
                jack_disconnect(jack, *p, *name);
            jack_free(others);
        }
        jack_connect(jack, jack_port_name(outPort), *name);
    }
    jack_connect(jack, outputs[0], jack_port_name(inPort));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    armed = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds + 5.0);
    while (recorded.load() < sent.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    jack_client_close(jack);
    if (recorded.load() < sent.size()) {
        std::fprintf(stderr, "jack_loop_client: the server stopped running cycles\n");
        return 2;
    }

    // The onset of the answer to each impulse but the first (which may fall before
    // the connections take): the first frame above a twentieth of the peak there.
    bool finite = true;
    float peak = 0.0f;
    double energy = 0.0;
    std::vector<long> delays;
    for (std::size_t k = 1; k < impulses; ++k) {
        const auto from = returned.begin() + static_cast<long>(k * spacing), to = from + static_cast<long>(spacing);
        float local = 0.0f;
        for (auto x = from; x != to; ++x)
            finite = finite && std::isfinite(*x), local = std::max(local, std::fabs(*x)), energy += double(*x) * *x;
        peak = std::max(peak, local);
        if (local > 1e-4f)
            delays.push_back(std::find_if(from, to, [&](float x) { return std::fabs(x) > 0.05f * local; }) - from);
    }
    std::sort(delays.begin(), delays.end());
    const long delay = delays.empty() ? -1 : delays[delays.size() / 2];
    // A plain copy, delayed and scaled, would hold all its energy in one sample
    // an impulse: what the amplifier spreads beyond that is its doing.
    const double spread = energy - double(peak) * peak * static_cast<double>(impulses - 1);
    const bool changed = finite && peak > 1e-3f && delay >= 0 && spread > 0.1 * energy;
    const bool steady = !delays.empty() && delays.back() - delays.front() <= 1;
    std::printf("returned: peak %.1f dBFS, %s, %.0f%% of its energy not a copy of the input\n",
                20.0 * std::log10(std::max(peak, 1e-12f)), finite ? "finite" : "NOT FINITE",
                energy > 0.0 ? 100.0 * spread / energy : 0.0);
    std::printf("changed by the amp: %s\n", changed ? "yes" : "no");
    std::printf("round trip: %ld frames = %.2f ms (%zu impulses, %s)\n", delay,
                1000.0 * static_cast<double>(delay) / rate, delays.size(), steady ? "steady" : "varying");
    return changed && steady ? 0 : 1;
}
