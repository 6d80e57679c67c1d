#pragma once
// A minimal VST 2.4 host: loads a plug-in module through its exported entry
// point, exactly as a DAW does, and drives it through the descriptor's
// dispatcher and process callbacks. Used by brimtone-render and the host tests.

#include "vst/Vst2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brimtone::host {

class PluginModule {
public:
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    using Entry = vst::AEffect* (*)(vst::HostCallback);
    Entry entry(const char* name) const;

private:
    void* handle_ = nullptr;
};

// The host callback's answers and what it was told.
struct HostRecord {
    std::intptr_t versionAnswer = 2400;
    int automateCalls = 0;
    int lastAutomatedIndex = -1;
    float lastAutomatedValue = 0.0f;
};
HostRecord& hostRecord();
std::intptr_t hostCallback(vst::AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                           void* ptr, float opt);

// One plug-in instance, opened as a host opens it, closed on destruction.
class Instance {
public:
    explicit Instance(const PluginModule& module, double rate = 44100.0, int block = 256);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    vst::AEffect* effect() const { return effect_; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f);
    void set(int index, float value) { effect_->setParameter(effect_, index, value); }
    float get(int index) { return effect_->getParameter(effect_, index); }
    std::string text(std::int32_t opcode, int index = 0); // string-returning opcodes

    // Processes whole buffers in blocks of `block` samples.
    void process(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
                 std::vector<float>& outRight, int block = 256);
    void processDouble(std::vector<double>& left, std::vector<double>& right, std::vector<double>& outLeft,
                       std::vector<double>& outRight, int block = 256);
    std::intptr_t close(); // effClose; the instance is gone afterwards

private:
    vst::AEffect* effect_ = nullptr;
};

} // namespace brimtone::host
