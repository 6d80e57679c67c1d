#pragma once
#include <vector>

namespace brimtone::render {

// A few seconds of a guitar DI riff (palm-muted power chords, open chords and
// a single-note lick), synthesised with plucked-string models. Deterministic:
// the same rate always gives the same samples. Peaks near -9 dBFS, as a DI
// signal through an interface's instrument input.
std::vector<float> synthesizeRiff(double sampleRate);

} // namespace brimtone::render
