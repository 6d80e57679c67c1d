#include "shell/EffectBase.h"

#include "shell/PluginIdentity.h"

namespace brimtone {
namespace {

using vst::AEffect;

std::intptr_t dispatchEntry(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                            float opt)
{
    EffectBase* object = EffectBase::fromDescriptor(effect);
    if (object == nullptr)
        return 0;
    if (opcode == vst::effClose) {
        object->dispatcher(opcode, index, value, ptr, opt);
        delete object;
        return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
}

void setParameterEntry(AEffect* effect, std::int32_t index, float value)
{
    if (EffectBase* object = EffectBase::fromDescriptor(effect))
        object->setParameter(index, value);
}

float getParameterEntry(AEffect* effect, std::int32_t index)
{
    EffectBase* object = EffectBase::fromDescriptor(effect);
    return object != nullptr ? object->getParameter(index) : 0.0f;
}

void processReplacingEntry(AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames)
{
    if (EffectBase* object = EffectBase::fromDescriptor(effect))
        object->processReplacing(inputs, outputs, sampleFrames);
}

void processDoubleReplacingEntry(AEffect* effect, double** inputs, double** outputs, std::int32_t sampleFrames)
{
    if (EffectBase* object = EffectBase::fromDescriptor(effect))
        object->processDoubleReplacing(inputs, outputs, sampleFrames);
}

// The deprecated accumulating process: outputs are left untouched.
void processAccumulatingEntry(AEffect*, float**, float**, std::int32_t) {}

} // namespace

EffectBase::EffectBase(vst::HostCallback host, std::int32_t programs, std::int32_t params)
    : audioMaster(host), numPrograms(programs), numParams(params)
{
    descriptor.magic = vst::kEffectMagic;
    descriptor.dispatcher = dispatchEntry;
    descriptor.process = processAccumulatingEntry;
    descriptor.setParameter = setParameterEntry;
    descriptor.getParameter = getParameterEntry;
    descriptor.processReplacing = processReplacingEntry;
    descriptor.processDoubleReplacing = processDoubleReplacingEntry;
    descriptor.numPrograms = programs;
    descriptor.numParams = params;
    descriptor.numInputs = 1;
    descriptor.numOutputs = 2;
    descriptor.flags = vst::effFlagsCanReplacing;
    descriptor.ioRatio = 1.0f;
    descriptor.object = this;
    descriptor.version = 1;
}

EffectBase::~EffectBase()
{
    // The editor detaches itself (setEditor(nullptr)) in its destructor.
    delete editor;
}

void EffectBase::setEditor(EffectEditor* newEditor)
{
    editor = newEditor;
    if (editor != nullptr)
        descriptor.flags |= vst::effFlagsHasEditor;
    else
        descriptor.flags &= ~vst::effFlagsHasEditor;
}

void EffectBase::setParameterAutomated(std::int32_t index, float value)
{
    setParameter(index, value);
    if (audioMaster != nullptr)
        audioMaster(&descriptor, vst::audioMasterAutomate, index, 0, nullptr, value);
}

void EffectBase::beginEdit(std::int32_t index)
{
    if (audioMaster != nullptr)
        audioMaster(&descriptor, vst::audioMasterBeginEdit, index, 0, nullptr, 0.0f);
}

void EffectBase::endEdit(std::int32_t index)
{
    if (audioMaster != nullptr)
        audioMaster(&descriptor, vst::audioMasterEndEdit, index, 0, nullptr, 0.0f);
}

void EffectBase::getProgramName(char* name)
{
    if (name != nullptr)
        name[0] = '\0';
}

void EffectBase::getParameterLabel(std::int32_t, char* label)
{
    if (label != nullptr)
        label[0] = '\0';
}

void EffectBase::getParameterDisplay(std::int32_t, char* text)
{
    if (text != nullptr)
        text[0] = '\0';
}

void EffectBase::getParameterName(std::int32_t, char* text)
{
    if (text != nullptr)
        text[0] = '\0';
}

std::intptr_t EffectBase::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt)
{
    switch (opcode) {
    case vst::effOpen:
        open();
        return 0;
    case vst::effClose:
        close();
        return 0;
    case vst::effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<std::int32_t>(value));
        return 0;
    case vst::effGetProgram:
        return getProgram();
    case vst::effSetProgramName:
        setProgramName(static_cast<const char*>(ptr));
        return 0;
    case vst::effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case vst::effGetParamLabel:
        getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case vst::effGetParamDisplay:
        getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case vst::effGetParamName:
        getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case vst::effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case vst::effSetBlockSize:
        setBlockSize(static_cast<std::int32_t>(value));
        return 0;
    case vst::effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case vst::effEditGetRect:
        return editor != nullptr && editor->getRect(static_cast<vst::ERect**>(ptr)) ? 1 : 0;
    case vst::effEditOpen:
        return editor != nullptr && editor->open(ptr) ? 1 : 0;
    case vst::effEditClose:
        if (editor != nullptr)
            editor->close();
        return 0;
    case vst::effEditIdle:
        if (editor != nullptr)
            editor->idle();
        return 0;
    case vst::effIdentify:
        return vst::fourCC('N', 'v', 'E', 'f');
    case vst::effCanBeAutomated:
        return 1;
    case vst::effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<vst::VstSpeakerArrangement*>(value),
                                     static_cast<vst::VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case vst::effGetEffectName:
        return getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case vst::effGetVendorString:
        return getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case vst::effGetProductString:
        return getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case vst::effGetVendorVersion:
        return getVendorVersion();
    case vst::effGetVstVersion:
        return 2400;
    case vst::effEditKeyDown:
        if (editor != nullptr)
            editor->onKeyDown();
        return 0;
    case vst::effEditKeyUp:
        if (editor != nullptr)
            editor->onKeyUp();
        return 0;
    case vst::effSetEditKnobMode:
        if (editor != nullptr)
            editor->setKnobMode(static_cast<int>(value));
        return 0;
    case vst::effGetCurrentMidiProgram:
        return -1;
    case vst::effGetSpeakerArrangement:
        if (value != 0)
            *reinterpret_cast<vst::VstSpeakerArrangement**>(value) = nullptr;
        if (ptr != nullptr)
            *static_cast<vst::VstSpeakerArrangement**>(ptr) = nullptr;
        return 0;
    case vst::effSetTotalSampleToProcess:
        return value;
    default:
        // Chunks, MIDI, offline processing, bypass, canDo (no opinion on
        // anything), tail size, plug-in category (unknown) and every opcode
        // this layer does not know: 0.
        return 0;
    }
}

} // namespace brimtone
