#pragma once
// Counts what the plug-in does on a thread marked as the audio thread:
// allocations by any path, blocking mutex locks, and sleeps on a futex (the
// bounded wait for a late convolution worker). The counters interpose the C
// library's functions in this test program, so they see the plug-in module's
// calls too: the Linux module only, and not under a sanitizer.

#include <string>

namespace counters {

struct Counts {
    long allocations = 0;
    long blockingLocks = 0;
    long sleeps = 0;
};

// Empty when the counters work here, otherwise why not.
std::string unavailableReason();

// Marks the calling thread as the audio thread while it lives and adds what
// that thread did meanwhile to `into`.
class AudioThreadScope {
public:
    explicit AudioThreadScope(Counts& into);
    ~AudioThreadScope();
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    Counts& into_;
};

} // namespace counters
