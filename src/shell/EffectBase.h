#pragma once
// The generic VST 2.4 effect layer: owns the descriptor handed to the host,
// turns dispatcher opcodes into calls on the effect object and answers the
// opcodes this plug-in has no use for.

#include "shell/EffectEditor.h"
#include "vst/Vst2.h"

#include <cstdint>

namespace brimtone {

class EffectBase {
public:
    EffectBase(vst::HostCallback audioMaster, std::int32_t numPrograms, std::int32_t numParams);
    virtual ~EffectBase();
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    virtual std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                     float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(std::int32_t size) { blockSize = size; }
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames) = 0;
    virtual void setParameter(std::int32_t /*index*/, float /*value*/) {}
    virtual float getParameter(std::int32_t /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(std::int32_t index, float value);
    // The start and the end of one gesture of edits to a parameter, for the host.
    void beginEdit(std::int32_t index);
    void endEdit(std::int32_t index);
    virtual std::int32_t getProgram() { return curProgram; }
    virtual void setProgram(std::int32_t program) { curProgram = program; }
    virtual void setProgramName(const char* /*name*/) {}
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(std::int32_t index, char* label);
    virtual void getParameterDisplay(std::int32_t index, char* text);
    virtual void getParameterName(std::int32_t index, char* text);
    virtual bool setSpeakerArrangement(vst::VstSpeakerArrangement* /*input*/, vst::VstSpeakerArrangement* /*output*/)
    {
        return false;
    }
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual std::int32_t getVendorVersion() { return 0; }

    // Attaches (or with nullptr detaches) the editor and keeps the descriptor's
    // editor flag in step.
    void setEditor(EffectEditor* newEditor);
    EffectEditor* getEditor() const { return editor; }

    vst::AEffect* getAeffect() { return &descriptor; }
    float getSampleRate() const { return sampleRate; }
    std::int32_t getBlockSize() const { return blockSize; }

    static EffectBase* fromDescriptor(vst::AEffect* effect)
    {
        return effect != nullptr ? static_cast<EffectBase*>(effect->object) : nullptr;
    }

protected:
    vst::HostCallback audioMaster;
    EffectEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    std::int32_t blockSize = 1024;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t curProgram = 0;
    vst::AEffect descriptor{};
};

} // namespace brimtone
