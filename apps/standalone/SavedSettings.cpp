#include "SavedSettings.h"

#include <cstdlib>
#include <filesystem>

namespace brimtone::standalone {

std::string settingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return (base / "brimtone" / "standalone.fxp").string();
}

std::string restoreSettings(host::Instance& plugin, const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error))
        return {};
    host::ProgramPreset saved;
    try {
        saved = host::readProgramFile(path, host::presetTarget(plugin));
    } catch (const host::PresetError& problem) {
        return problem.what();
    }
    for (int p = 0; p < plugin.effect()->numPrograms; ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        if (plugin.text(vst::effGetProgramName) == saved.name)
            break;
        if (p + 1 == plugin.effect()->numPrograms)
            plugin.dispatch(vst::effSetProgram, 0, 0); // a name no program has: into the first
    }
    host::applyProgram(plugin, saved);
    return {};
}

void saveSettings(host::Instance& plugin, const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        throw host::PresetError(path + ": cannot make its folder (" + error.message() + ")");
    host::writePresetFile(path, host::encodeProgram(host::presetTarget(plugin), host::captureProgram(plugin)));
}

} // namespace brimtone::standalone
