#pragma once
#include <cstdint>

namespace brimtone {

// One sample of one channel on its way through the engine. The engine may
// overwrite `in` with intermediate values.
struct SampleFrame {
    double in = 0.0;
    double out = 0.0;
    std::int32_t channel = 0; // 0 left (or mono), 1 right
};

} // namespace brimtone
