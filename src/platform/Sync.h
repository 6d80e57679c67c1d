#pragma once
// Synchronisation primitives of the plug-in. The audio thread only ever calls
// tryEnter on a CriticalSection; other threads may block in enter.

#include <condition_variable>
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
class Event {
public:
    enum class Reset { Automatic, Manual };
    explicit Event(Reset reset = Reset::Automatic) : manual_(reset == Reset::Manual) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = true;
        changed_.notify_all();
        for (Link* link = waiters_; link != nullptr; link = link->next)
            link->waiter->wake();
    }

    void reset()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = false;
    }

    void wait()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [this] { return signalled_; });
        if (!manual_)
            signalled_ = false;
    }

    // Blocks until `first` or `second` is signalled and returns 0 or 1 for it
    // (`first` wins when both are). The returned event's signal is consumed
    // when it resets automatically. Any number of threads may wait on the same
    // event at once (a convolver's workers all wait on its one stop event).
    static int waitForEither(Event& first, Event& second)
    {
        Waiter waiter;
        Link firstLink{&waiter, nullptr};
        Link secondLink{&waiter, nullptr};
        first.attach(firstLink);
        second.attach(secondLink);
        int which = -1;
        for (;;) {
            if (first.consume()) {
                which = 0;
                break;
            }
            if (second.consume()) {
                which = 1;
                break;
            }
            waiter.sleep();
        }
        first.detach(firstLink);
        second.detach(secondLink);
        return which;
    }

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable woken;
        bool pending = false;
        void wake()
        {
            std::lock_guard<std::mutex> hold(mutex);
            pending = true;
            woken.notify_all();
        }
        void sleep()
        {
            std::unique_lock<std::mutex> hold(mutex);
            woken.wait(hold, [this] { return pending; });
            pending = false;
        }
    };

    // A waiter's entry in one event's list of waiters (lives on the waiting
    // thread's stack for the duration of waitForEither).
    struct Link {
        Waiter* waiter;
        Link* next;
    };

    void attach(Link& link)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        link.next = waiters_;
        waiters_ = &link;
    }

    void detach(Link& link)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        Link** entry = &waiters_;
        while (*entry != &link)
            entry = &(*entry)->next;
        *entry = link.next;
    }

    bool consume()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!signalled_)
            return false;
        if (!manual_)
            signalled_ = false;
        return true;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    Link* waiters_ = nullptr;
    bool signalled_ = false;
    bool manual_;
};

} // namespace brimtone::platform
