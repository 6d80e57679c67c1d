#include "shell/PluginEffect.h"

#include "engine/ValueConventions.h"
#include "platform/FloatingPoint.h"
#include "shell/EditorLink.h"
#include "shell/PluginIdentity.h"

#include <algorithm>
#include <new>

namespace brimtone {

PluginEffect* createEffectInstance(vst::HostCallback audioMaster)
{
    return new (std::nothrow) PluginEffect(audioMaster);
}

PluginEffect::PluginEffect(vst::HostCallback host) : EffectBase(host, kNumPrograms, kNumParams)
{
    // Program 0 and the sample rate go through the change mechanism, so the
    // first processed block configures the whole engine.
    fillProgramTable(programs_);
    curProgram = 0;
    for (int i = 0; i < kNumParams; ++i)
        setParameter(i, programs_[0].value[i]);
    {
        platform::ScopedLock hold(paramLock_);
        sampleRate = 44100.0f;
        dirtyMask_ |= kSampleRateBit;
    }

    blockSize = 256;
    descriptor.flags &= ~(vst::effFlagsIsSynth | vst::effFlagsProgramChunks);
    descriptor.numInputs = 2;
    descriptor.numOutputs = 2;
    descriptor.uniqueID = pluginUniqueId();
    descriptor.flags |= vst::effFlagsCanReplacing | vst::effFlagsCanDoubleReplacing;
    descriptor.initialDelay = 0;
    attachEditor(*this);
}

PluginEffect::~PluginEffect()
{
    closing_.store(true, std::memory_order_release);
    // The editor's window goes while the engine it reads from still exists.
    if (editor != nullptr)
        editor->close();
    // Let a parameter call in progress on another thread finish.
    paramLock_.enter();
    paramLock_.leave();
}

// ---- parameters -------------------------------------------------------------

void PluginEffect::setParameter(std::int32_t index, float value)
{
    if (index < 0 || index >= kNumParams)
        return;
    platform::ScopedLock hold(paramLock_);
    paramValues_[index] = value;
    dirtyMask_ |= 1u << index;
}

float PluginEffect::getParameter(std::int32_t index)
{
    if (static_cast<std::uint32_t>(index) >= kNumParams)
        return 0.0f;
    platform::ScopedLock hold(paramLock_);
    return paramValues_[index];
}

void PluginEffect::getParameterName(std::int32_t index, char* text)
{
    if (text != nullptr)
        parameterName(index, text);
}

void PluginEffect::getParameterLabel(std::int32_t, char* label)
{
    if (label != nullptr)
        label[0] = '\0';
}

void PluginEffect::getParameterDisplay(std::int32_t index, char* text)
{
    if (text == nullptr || index < 0 || index >= kNumParams)
        return;
    parameterDisplay(index, getParameter(index), text);
}

// ---- programs ----------------------------------------------------------------

std::int32_t PluginEffect::getProgram()
{
    platform::ScopedLock hold(programLock_);
    return curProgram;
}

void PluginEffect::setProgram(std::int32_t program)
{
    platform::ScopedLock hold(programLock_);
    if (static_cast<std::uint32_t>(program) >= kNumPrograms || program == curProgram)
        return;
    for (int i = 0; i < kNumParams; ++i)
        programs_[curProgram].value[i] = getParameter(i);
    curProgram = program;
    for (int i = 0; i < kNumParams; ++i)
        setParameter(i, programs_[program].value[i]);
}

void PluginEffect::setProgramName(const char* name)
{
    if (name == nullptr)
        return;
    platform::ScopedLock hold(programLock_);
    copyBounded(programs_[curProgram].name, name, vst::kVstMaxProgNameLen);
}

void PluginEffect::getProgramName(char* name)
{
    if (name == nullptr)
        return;
    platform::ScopedLock hold(programLock_);
    copyBounded(name, programs_[curProgram].name, vst::kVstMaxProgNameLen);
}

// ---- identity -----------------------------------------------------------------

bool PluginEffect::getEffectName(char* name)
{
    if (name == nullptr)
        return false;
    copyBounded(name, pluginIdentity.effectName, vst::kVstMaxEffectNameLen);
    return true;
}

bool PluginEffect::getVendorString(char* text)
{
    if (text == nullptr)
        return false;
    copyBounded(text, pluginIdentity.vendor, vst::kVstMaxVendorStrLen);
    return true;
}

bool PluginEffect::getProductString(char* text)
{
    if (text == nullptr)
        return false;
    copyBounded(text, pluginIdentity.product, vst::kVstMaxProductStrLen);
    return true;
}

std::int32_t PluginEffect::getVendorVersion() { return pluginIdentity.versionCode; }

// ---- host settings ---------------------------------------------------------------

void PluginEffect::setSampleRate(float rate)
{
    if (!(rate > 10000.0f && rate < 200000.0f))
        return;
    platform::ScopedLock hold(paramLock_);
    dirtyMask_ |= kSampleRateBit;
    sampleRate = rate;
}

void PluginEffect::setBlockSize(std::int32_t size)
{
    if (size >= 1 && size <= 65536)
        blockSize = size;
}

bool PluginEffect::setSpeakerArrangement(vst::VstSpeakerArrangement* input, vst::VstSpeakerArrangement* output)
{
    if (input == nullptr || output == nullptr)
        return false;
    busChannels_.store(input->numChannels < output->numChannels ? input->numChannels : output->numChannels,
                       std::memory_order_relaxed);
    return true;
}

// ---- display analysis hand-off ------------------------------------------------------

bool PluginEffect::beginAnalysisRead()
{
    if (!analysisReady_.load(std::memory_order_acquire))
        return false;
    engine_.analysisLock().enter();
    return true;
}

void PluginEffect::endAnalysisRead()
{
    engine_.analysisLock().leave();
    analysisReady_.store(false, std::memory_order_release);
}

// ---- audio driver --------------------------------------------------------------------

void PluginEffect::takeParameterChanges()
{
    if (!paramLock_.tryEnter())
        return; // busy: the changes wait in dirtyMask for a later block
    const std::uint32_t mask = dirtyMask_;
    float values[kNumParams];
    float rate = 0.0f;
    if (mask != 0) {
        dirtyMask_ = 0;
        for (int i = 0; i < kNumParams; ++i)
            values[i] = paramValues_[i];
        rate = sampleRate;
    }
    paramLock_.leave();
    if (mask != 0)
        applyChanges(mask, values, rate);
}

// The setters run in the table's order; then every marked coefficient group is
// recomputed once, after all of them.
void PluginEffect::applyChanges(std::uint32_t mask, const float (&values)[kNumParams], float rate)
{
    if (mask & kSampleRateBit)
        engine_.setRate(rate);
    ParameterTargets targets{engine_, stereoMode_};
    for (const Parameter& p : parameterTable)
        if ((mask & (1u << p.id)) != 0 && p.apply(targets, values[p.id]))
            engine_.markUpdates(p.updateGroups);
    if (engine_.updateMask() != 0)
        engine_.applyUpdates();
}

template <typename Sample>
void PluginEffect::processBlock(Sample** inputs, Sample** outputs, std::int32_t sampleFrames)
{
    if (closing_.load(std::memory_order_acquire))
        return;
    if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || outputs[0] == nullptr)
        return;
    platform::DenormalGuard flushDenormals;

    takeParameterChanges();
    if (engine_.refreshResponseSnapshot())
        analysisReady_.store(true, std::memory_order_release);

    // The engine takes runs of up to kMaxRun samples.
    constexpr int kRun = AmpEngine::kMaxRun;
    SampleFrame left[kRun];
    SampleFrame right[kRun];
    for (SampleFrame& frame : right)
        frame.channel = 1;
    const bool twoChannels = inputs[1] != nullptr && outputs[1] != nullptr;
    // The two channels run through the engine in lockstep; otherwise the left input is
    // processed alone and, with two outputs, written to both.
    const bool lockstep = twoChannels && stereoMode_ == 2 && busChannels_.load(std::memory_order_relaxed) == 2;
    for (std::int32_t start = 0; start < sampleFrames; start += kRun) {
        const int run = static_cast<int>(std::min<std::int32_t>(kRun, sampleFrames - start));
        for (int i = 0; i < run; ++i)
            left[i].in = inputs[0][start + i];
        if (lockstep) {
            for (int i = 0; i < run; ++i)
                right[i].in = inputs[1][start + i];
            engine_.processStereo(left, right, run);
            for (int i = 0; i < run; ++i)
                outputs[1][start + i] = static_cast<Sample>(right[i].out);
        } else {
            engine_.processSamples(left, run);
            if (twoChannels)
                for (int i = 0; i < run; ++i)
                    outputs[1][start + i] = static_cast<Sample>(left[i].out);
        }
        for (int i = 0; i < run; ++i)
            outputs[0][start + i] = static_cast<Sample>(left[i].out);
    }
}

void PluginEffect::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

void PluginEffect::processDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

} // namespace brimtone
