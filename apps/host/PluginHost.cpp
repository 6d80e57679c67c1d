#include "PluginHost.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace brimtone::host {

PluginModule::PluginModule(const std::string& path)
{
#ifdef _WIN32
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

PluginModule::~PluginModule()
{
    if (handle_ == nullptr)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

PluginModule::Entry PluginModule::entry(const char* name) const
{
    if (handle_ == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name)));
#else
    return reinterpret_cast<Entry>(dlsym(handle_, name));
#endif
}

HostRecord& hostRecord()
{
    static HostRecord record;
    return record;
}

std::intptr_t hostCallback(vst::AEffect*, std::int32_t opcode, std::int32_t index, std::intptr_t, void*, float opt)
{
    HostRecord& record = hostRecord();
    switch (opcode) {
    case vst::audioMasterVersion:
        return record.versionAnswer;
    case vst::audioMasterAutomate:
        ++record.automateCalls;
        record.lastAutomatedIndex = index;
        record.lastAutomatedValue = opt;
        return 0;
    default:
        return 0;
    }
}

Instance::Instance(const PluginModule& module, double rate, int block)
{
    PluginModule::Entry main = module.entry("VSTPluginMain");
    if (main == nullptr)
        return;
    effect_ = main(hostCallback);
    if (effect_ == nullptr)
        return;
    dispatch(vst::effOpen);
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(vst::effSetBlockSize, 0, block);
    dispatch(vst::effMainsChanged, 0, 1);
}

Instance::~Instance() { close(); }

std::intptr_t Instance::close()
{
    if (effect_ == nullptr)
        return 0;
    dispatch(vst::effMainsChanged, 0, 0);
    const std::intptr_t result = effect_->dispatcher(effect_, vst::effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
    return result;
}

std::intptr_t Instance::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Instance::text(std::int32_t opcode, int index)
{
    char buffer[256];
    std::memset(buffer, 0x7f, sizeof buffer);
    buffer[255] = '\0';
    dispatch(opcode, index, 0, buffer);
    return std::string(buffer);
}

template <typename Sample, typename ProcessFn>
static void processInBlocks(vst::AEffect* effect, ProcessFn fn, std::vector<Sample>& left, std::vector<Sample>& right,
                            std::vector<Sample>& outLeft, std::vector<Sample>& outRight, int block)
{
    const std::size_t frames = left.size();
    outLeft.assign(frames, Sample(0));
    outRight.assign(frames, Sample(0));
    for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(block)) {
        const auto count
            = static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(block), frames - start));
        Sample* inputs[2] = {left.data() + start, right.data() + start};
        Sample* outputs[2] = {outLeft.data() + start, outRight.data() + start};
        fn(effect, inputs, outputs, count);
    }
}

void Instance::process(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
                       std::vector<float>& outRight, int block)
{
    processInBlocks(effect_, effect_->processReplacing, left, right, outLeft, outRight, block);
}

void Instance::processDouble(std::vector<double>& left, std::vector<double>& right, std::vector<double>& outLeft,
                             std::vector<double>& outRight, int block)
{
    processInBlocks(effect_, effect_->processDoubleReplacing, left, right, outLeft, outRight, block);
}

} // namespace brimtone::host
