#pragma once
// The tube slot's input/output pairs for the editor's XY ("Tube Saturation")
// view: a ring of 512 points per channel filled at a fixed rate of about one
// ring per 33 ms display frame. The audio thread only ever try-enters the
// lock; a missed point is retried at the next call, never back-filled.

#include "platform/Sync.h"

#include <cstdint>

namespace brimtone {

class TransferCapture {
public:
    static constexpr int kPoints = 512;

    struct Point {
        double in = 0.0;
        double out = 0.0;
    };

    TransferCapture() { reset(); }

    // Clears the ring and starts capturing a point on every call.
    void reset()
    {
        platform::ScopedLock hold(lock);
        counter_ = 0.0;
        captureInterval_ = 1.0;
        writeIndex_ = 0;
        for (auto& channelPoints : points_)
            for (auto& point : channelPoints)
                point = Point{};
    }

    // One ring's worth of points per 33 ms at the amplifier's (oversampled)
    // period. Audio thread only; the editor never reads the interval.
    void setCaptureRate(double oversampledPeriod) { captureInterval_ = 0.033 / (oversampledPeriod * kPoints); }

    // Once per amplifier-path sample per channel; both channels share the
    // counter and the write index.
    void capturePoint(double in, double out, int channel)
    {
        counter_ += 1.0;
        if (counter_ >= captureInterval_ && lock.tryEnter()) {
            counter_ -= captureInterval_;
            points_[channel][writeIndex_] = Point{in, out};
            writeIndex_ = (writeIndex_ + 1) & (kPoints - 1);
            lock.leave();
        }
    }

    double captureInterval() const { return captureInterval_; }
    double counter() const { return counter_; }

    // Editor side: hold `lock` while reading points().
    const Point (&points() const)[2][kPoints] { return points_; }
    std::uint32_t writeIndex() const { return writeIndex_; }

    platform::CriticalSection lock; // captureLock

private:
    Point points_[2][kPoints];
    double counter_ = 0.0;
    double captureInterval_ = 1.0;
    std::uint32_t writeIndex_ = 0;
};

} // namespace brimtone
