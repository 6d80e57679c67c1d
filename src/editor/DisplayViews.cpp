#include "editor/DisplayViews.h"

#include <cmath>

namespace brimtone::editor {

void drawToneResponse(CScopeXY& scope, const std::array<float, FrequencyGrid::kPoints>& levelsDb)
{
    float sum = 0;
    for (float level : levelsDb)
        sum += level;
    const float mean = sum * 0.0057803467f; // 1/173
    for (std::size_t k = 0; k < levelsDb.size(); ++k) {
        const float a = static_cast<float>(k) * 2.0f * 0.0058139535f - 1.0f; // 1/172
        scope.plotSmooth(a, (mean - levelsDb[k]) * 0.028571429f, displayColour);
    }
    scope.present();
}

void drawBiasNeedle(CScopeXY& scope, double v)
{
    if (!(v >= 0.0))
        v = 0.0;
    if (v > 1.0)
        v = 1.0;
    const auto i = static_cast<std::size_t>(std::lround(v * 63.0));
    const NeedleTable& needle = NeedleTable::instance();
    scope.drawLine(41.0f, 67.0f, 41.0f - needle.cosine[i], 67.0f - needle.sine[i], displayColour);
    scope.present();
}

void drawTransfer(CScopeXY& left, CScopeXY& right, const TransferCapture::Point* channel0,
                  const TransferCapture::Point* channel1, bool stereo)
{
    constexpr float third = 0.33333334f;
    for (int i = 0; i < TransferCapture::kPoints; ++i) {
        left.plotDot(static_cast<float>(channel0[i].in) * third, static_cast<float>(channel0[i].out) * -third,
                     displayColour);
        if (stereo)
            right.plotDot(static_cast<float>(channel1[i].in) * third, static_cast<float>(channel1[i].out) * -third,
                          displayColour);
    }
    left.present();
    right.present();
}

} // namespace brimtone::editor
