#pragma once

namespace brimtone {

// Levels and bias values the editor's meters and bias needles show.
struct MeterSnapshot {
    double inPeak[2] = {0.0, 0.0};
    double outPeak[2] = {0.0, 0.0};
    double preampBias = 0.0;
    double powerBias = 0.0;
};

} // namespace brimtone
