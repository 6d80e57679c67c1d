#pragma once
// Synchronisation primitives of the plug-in. The audio thread only ever calls
// tryEnter on a CriticalSection; other threads may block in enter.

#include "platform/AddressWait.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace brimtone::platform {

class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter() { mutex_.lock(); }
    bool tryEnter() { return mutex_.try_lock(); }
    void leave() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Scoped blocking hold of a CriticalSection (never on the audio thread).
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.enter(); }
    ~ScopedLock() { section_.leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};

// A Win32-style event: signalled or not, with automatic reset (a successful
// wait consumes the signal) or manual reset (stays signalled until reset()).
//
// One atomic word holds the signal and a flag telling that some thread
// sleeps on the event; sleepers sleep on the word itself (AddressWait). So
// set() never takes a lock: signalling an event nobody sleeps on (a job
// finished before its result is collected) is a single atomic exchange, and
// waking a sleeper is one more system call. A waiter raises the flag and
// sleeps only while the word still reads "unsignalled, someone sleeps"; a
// set() in between changes the word, so the kernel does not put it to sleep.
// set() clears the flag together with signalling and wakes every sleeper; a
// sleeper that finds the signal taken by another raises the flag again.
class Event {
public:
    enum class Reset { Automatic, Manual };
    explicit Event(Reset reset = Reset::Automatic) : manual_(reset == Reset::Manual) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set()
    {
        if ((word_.exchange(signalled, std::memory_order_acq_rel) & sleeping) != 0)
            wakeAll(word_);
    }

    void reset() { word_.fetch_and(~signalled, std::memory_order_acq_rel); }

    void wait()
    {
        std::uint32_t state = word_.load(std::memory_order_acquire);
        for (;;) {
            if (consume(state))
                return;
            if ((state & sleeping) != 0
                || word_.compare_exchange_weak(state, state | sleeping, std::memory_order_acq_rel))
                waitWhileEqual(word_, sleeping);
            state = word_.load(std::memory_order_acquire);
        }
    }

private:
    static constexpr std::uint32_t signalled = 1;
    static constexpr std::uint32_t sleeping = 2;

    // Takes the signal if `state` (reloaded on a race) shows it.
    bool consume(std::uint32_t& state)
    {
        while ((state & signalled) != 0) {
            if (manual_ || word_.compare_exchange_weak(state, state & ~signalled, std::memory_order_acq_rel))
                return true;
        }
        return false;
    }

    std::atomic<std::uint32_t> word_{0};
    bool manual_;
};

} // namespace brimtone::platform
