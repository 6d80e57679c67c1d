#include "PluginHost.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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
    if (handle_ == nullptr)
        loadError_ = "error " + std::to_string(GetLastError());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        loadError_ = reason != nullptr ? reason : "unknown reason";
    }
#endif
}

std::string pluginProblem(const std::string& path, const PluginModule& module)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return "plug-in '" + path + "' not found";
    if (!module.loaded())
        return "'" + path + "' is not a loadable module (" + module.loadError() + ")";
    if (module.entry("VSTPluginMain") == nullptr)
        return "'" + path + "' is not a VST2 plug-in (no VSTPluginMain)";
    return {};
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

std::string defaultPluginPath(const std::string& built)
{
    if (const char* chosen = std::getenv("BRIMTONE_PLUGIN"); chosen != nullptr && chosen[0] != '\0')
        return chosen;
    std::vector<std::filesystem::path> candidates{built};
    std::error_code error;
#ifndef _WIN32
    const auto app = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        candidates.push_back(app.parent_path().parent_path() / "lib" / "vst" / "Brimtone.so");
#endif
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        candidates.push_back(std::filesystem::path(home) / ".vst" / std::filesystem::path(built).filename());
    for (const auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.string();
    return built;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

HostRecord& hostRecord()
{
    static HostRecord record;
    return record;
}

std::intptr_t hostCallback(vst::AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t, void*,
                           float opt)
{
    HostRecord& record = hostRecord();
    switch (opcode) {
    case vst::audioMasterVersion:
        return record.versionAnswer;
    case vst::audioMasterAutomate:
        ++record.automateCalls;
        record.lastAutomatedIndex = index;
        record.lastAutomatedValue = opt;
        if (record.recordEdits)
            record.edits.push_back({effect, opcode, index, opt});
        return 0;
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
        if (record.recordEdits)
            record.edits.push_back({effect, opcode, index, 0.0f});
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

std::string Instance::selectProgram(const std::string& wanted)
{
    const int count = effect_->numPrograms;
    char* end = nullptr;
    const long index = std::strtol(wanted.c_str(), &end, 10);
    if (end != wanted.c_str() && *end == '\0') {
        if (index < 0 || index >= count)
            return "program index " + wanted + " out of range (0.." + std::to_string(count - 1) + ")";
        dispatch(vst::effSetProgram, 0, index);
        return {};
    }
    const auto current = dispatch(vst::effGetProgram);
    for (int p = 0; p < count; ++p) {
        dispatch(vst::effSetProgram, 0, p);
        if (lowerCase(text(vst::effGetProgramName)) == lowerCase(wanted))
            return {};
    }
    dispatch(vst::effSetProgram, 0, current);
    return "unknown program '" + wanted + "'";
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
