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
    const std::string& loadError() const { return loadError_; } // the loader's reason when not loaded
    using Entry = vst::AEffect* (*)(vst::HostCallback);
    Entry entry(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string loadError_;
};

// Why `path` cannot serve as the plug-in, in one line, or empty when it can:
// missing, not a loadable module, or a module without the VST2 entry point.
std::string pluginProblem(const std::string& path, const PluginModule& module);

// The plug-in the apps load without --plugin: $BRIMTONE_PLUGIN, else the first that
// exists of the one built beside the app, PREFIX/lib/vst and ~/.vst.
std::string defaultPluginPath(const std::string& built);

// Names are matched without regard to case.
std::string lowerCase(std::string text);

// One edit report of a plug-in: audioMasterBeginEdit, audioMasterAutomate (with
// the value) or audioMasterEndEdit.
struct EditReport {
    vst::AEffect* effect;
    std::int32_t opcode;
    std::int32_t index;
    float value;
};

// The host callback's answers and what it was told.
struct HostRecord {
    std::intptr_t versionAnswer = 2400;
    int automateCalls = 0;
    int lastAutomatedIndex = -1;
    float lastAutomatedValue = 0.0f;
    std::vector<EditReport> edits; // kept while recordEdits is set
    bool recordEdits = false;
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

    // Selects a program by index or by name; returns why not, or empty.
    std::string selectProgram(const std::string& wanted);

private:
    vst::AEffect* effect_ = nullptr;
};

} // namespace brimtone::host
