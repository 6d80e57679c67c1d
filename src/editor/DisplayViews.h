#pragma once
// The three analysis views of the editor's display, drawn into its scopes: the
// tonestack response curve, the two bias needle meters and the tube stage's XY
// transfer traces. All in the display's colour; the data is already copied out
// of the plug-in.

#include "analysis/FrequencyGrid.h"
#include "analysis/TransferCapture.h"
#include "editor/CScopeXY.h"

#include <array>

namespace brimtone::editor {

constexpr Pixel displayColour = 0xFF281E;

// The curve relative to its mean level, 35 dB to the plot edge, 20 Hz at the left
// edge; presents the scope.
void drawToneResponse(CScopeXY& scope, const std::array<float, FrequencyGrid::kPoints>& levelsDb);

// A needle from the pivot (41, 67) for v in 0 .. 1 (anything else, NaN included,
// pins it to a stop); presents the scope.
void drawBiasNeedle(CScopeXY& scope, double v);

// Tube input across, output up, ±3 to the plot edges: channel 0 on `left` and, in
// stereo, channel 1 on `right`. Presents both (the right one fades in mono).
void drawTransfer(CScopeXY& left, CScopeXY& right, const TransferCapture::Point* channel0,
                  const TransferCapture::Point* channel1, bool stereo);

} // namespace brimtone::editor
