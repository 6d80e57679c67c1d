#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace brimtone::platform {
namespace {

using namespace std::chrono_literals;

// Runs `body` on a thread and tells whether it finished within `limit`; the
// thread is joined either way (the caller must release it).
class Waiter {
public:
    template <class Body>
    explicit Waiter(Body body)
        : thread_([this, body] {
              body();
              finished_.store(true);
          })
    {}
    ~Waiter() { thread_.join(); }
    bool finishedWithin(std::chrono::milliseconds limit) const
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!finished_.load()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

private:
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

TEST(Event, AutomaticResetWaitConsumesTheSignal)
{
    Event event;
    event.set();
    event.wait(); // passes at once
    Waiter waiter([&] { event.wait(); });
    EXPECT_FALSE(waiter.finishedWithin(50ms)) << "the first wait consumed the signal";
    event.set();
    EXPECT_TRUE(waiter.finishedWithin(5000ms));
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    Event event(Event::Reset::Manual);
    event.set();
    event.wait();
    event.wait();
    event.reset();
    Waiter waiter([&] { event.wait(); });
    EXPECT_FALSE(waiter.finishedWithin(50ms)) << "reset cleared the signal";
    event.set();
    EXPECT_TRUE(waiter.finishedWithin(5000ms));
}

TEST(Event, OneSetOfAManualEventReleasesEverySleeper)
{
    Event event(Event::Reset::Manual);
    std::vector<std::unique_ptr<Waiter>> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.push_back(std::make_unique<Waiter>([&] { event.wait(); }));
    std::this_thread::sleep_for(20ms); // let them fall asleep
    event.set();
    for (auto& waiter : waiters)
        EXPECT_TRUE(waiter->finishedWithin(5000ms));
}

// Each set of an automatic event releases exactly one of several sleepers;
// the others, woken with it, go back to sleep.
TEST(Event, EachSetOfAnAutomaticEventReleasesOneSleeper)
{
    Event event;
    std::atomic<int> released{0};
    std::vector<std::unique_ptr<Waiter>> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.push_back(std::make_unique<Waiter>([&] {
            event.wait();
            released.fetch_add(1);
        }));
    std::this_thread::sleep_for(20ms);
    for (int expected = 1; expected <= 3; ++expected) {
        event.set();
        const auto end = std::chrono::steady_clock::now() + 5000ms;
        while (released.load() < expected && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(released.load(), expected);
    }
}

// The convolvers' hand-off: a strict ping-pong on two automatic events, the
// data written before a set being seen after the matching wait. Many rounds,
// so that sets meet waiters that sleep, that are about to sleep and that have
// not come yet.
TEST(Event, PingPongHandsDataOverWithoutLosingASignal)
{
    Event start;
    Event done;
    constexpr int rounds = 20000;
    unsigned shared = 0;
    std::thread worker([&] {
        for (int round = 0; round < rounds; ++round) {
            start.wait();
            shared = shared * 3 + 1;
            done.set();
        }
    });
    unsigned expected = 0;
    for (int round = 0; round < rounds; ++round) {
        start.set();
        done.wait();
        expected = expected * 3 + 1;
        ASSERT_EQ(shared, expected) << "round " << round;
    }
    worker.join();
}

} // namespace
} // namespace brimtone::platform
