#include "shell/DisplayReader.h"

#include "shell/PluginEffect.h"

#include <algorithm>

namespace brimtone {

bool DisplayReader::readFrame(View view)
{
    AmpEngine& engine = effect_.engine();
    platform::ScopedLock holdMeters(engine.meterLock());
    meters_ = engine.publishedMeters();

    switch (view) {
    case View::DynamicBias:
        return true;
    case View::TubeSaturation: {
        TransferCapture& capture = engine.transferCapture();
        platform::ScopedLock holdCapture(capture.lock);
        for (int channel = 0; channel < 2; ++channel)
            std::copy(std::begin(capture.points()[channel]), std::end(capture.points()[channel]),
                      traces_[channel].begin());
        return true;
    }
    case View::TonestackResponse:
        // The grid follows the amplifier's rate even when no new curve came.
        grid_.setSamplePeriod(
            static_cast<float>(engine.samplePeriod() / AmpEngine::oversamplingFactor(engine.oversampling())));
        if (!effect_.beginAnalysisRead())
            return false;
        readResponse();
        effect_.endAnalysisRead();
        return true;
    }
    return false;
}

void DisplayReader::readResponse()
{
    const AmpEngine& engine = effect_.engine();
    for (std::size_t k = 0; k < FrequencyGrid::kPoints; ++k)
        responseDb_[k] = responseLevelDb(engine.responseAt(grid_.point(k)));
}

} // namespace brimtone
