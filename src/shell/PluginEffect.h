#pragma once
// The plug-in object: parameters, programs and the audio driver around the
// embedded engine. Host threads store parameter edits under paramLock with a
// bit in dirtyMask; the audio thread only tries the lock at the start of each
// block and hands the changes to the engine in a fixed order.

#include "engine/AmpEngine.h"
#include "platform/Sync.h"
#include "shell/EffectBase.h"
#include "shell/Programs.h"

#include <atomic>
#include <cstdint>

namespace brimtone {

// Bits of dirtyMask: 0..19 one per parameter, 21 the sample rate.
constexpr std::uint32_t kSampleRateBit = 0x200000;

class PluginEffect final : public EffectBase {
public:
    explicit PluginEffect(vst::HostCallback host);
    ~PluginEffect() override;

    void setSampleRate(float rate) override;
    void setBlockSize(std::int32_t size) override;
    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames) override;
    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;
    std::int32_t getProgram() override;
    void setProgram(std::int32_t program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(std::int32_t index, char* label) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;
    bool setSpeakerArrangement(vst::VstSpeakerArrangement* input, vst::VstSpeakerArrangement* output) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;

    // Editor side of the display analysis: true with analysisLock held when
    // the engine refreshed its curves since the last read.
    bool beginAnalysisRead();
    void endAnalysisRead();

    AmpEngine& engine() { return engine_; }
    int stereoMode() const { return stereoMode_; }

private:
    template <typename Sample>
    void processBlock(Sample** inputs, Sample** outputs, std::int32_t sampleFrames);
    void takeParameterChanges();
    void applyChanges(std::uint32_t mask, const float (&values)[kNumParams], float rate);

    std::atomic<bool> closing_{false};
    TProgram programs_[kNumPrograms];
    AmpEngine engine_;
    int stereoMode_ = 1; // audio thread
    std::atomic<std::int32_t> busChannels_{2};
    platform::CriticalSection paramLock_; // guards paramValues_, dirtyMask_ and sampleRate
    // Guards curProgram and programs_ against host and editor threads calling at
    // once; never taken on the audio thread. Taken before paramLock_, never after.
    platform::CriticalSection programLock_;
    float paramValues_[kNumParams] = {};
    std::uint32_t dirtyMask_ = 0;
    std::atomic<bool> analysisReady_{false};
};

// Creates the plug-in object for a host; nullptr when allocation fails.
PluginEffect* createEffectInstance(vst::HostCallback audioMaster);

} // namespace brimtone
