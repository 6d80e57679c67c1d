#pragma once
// What the editor's display reads from the audio side each frame, taken the
// way the editor must take it: meterLock outside, and inside it either
// captureLock (the XY trace) or analysisLock (the response curve), never both.
// The audio thread only ever tries these locks, so holding them here never
// makes it wait.

#include "analysis/FrequencyGrid.h"
#include "analysis/MeterSnapshot.h"
#include "analysis/TransferCapture.h"

#include <array>

namespace brimtone {

class PluginEffect;

class DisplayReader {
public:
    enum class View { DynamicBias, TonestackResponse, TubeSaturation };

    using Trace = std::array<TransferCapture::Point, TransferCapture::kPoints>;

    explicit DisplayReader(PluginEffect& effect) : effect_(effect) {}

    // One display frame: the meters always, and the data of `view`. Returns
    // true when the view's data was refreshed (the response curve only when
    // the engine published new filter coefficients since the last read).
    bool readFrame(View view);

    const MeterSnapshot& meters() const { return meters_; }
    // The response curve in dB on the grid of the current oversampled rate.
    const std::array<float, FrequencyGrid::kPoints>& responseDb() const { return responseDb_; }
    const FrequencyGrid& grid() const { return grid_; }
    const Trace& trace(int channel) const { return traces_[channel]; }

private:
    void readResponse();

    PluginEffect& effect_;
    MeterSnapshot meters_;
    FrequencyGrid grid_;
    std::array<float, FrequencyGrid::kPoints> responseDb_{};
    Trace traces_[2]{};
};

} // namespace brimtone
