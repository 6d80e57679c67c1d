#pragma once
// The standalone's memory between runs: the program and every parameter value,
// kept as a VST program file. The program is found again by its name.

#include "Preset.h"

#include <string>

namespace brimtone::standalone {

// $XDG_CONFIG_HOME/brimtone/standalone.fxp, or ~/.config/... when that is unset,
// empty or not absolute; empty when there is no home either.
std::string settingsPath();

// Loads the saved settings into the plug-in. A missing file is a first start
// (returns empty); an unreadable one is left alone and returns why.
std::string restoreSettings(host::Instance& plugin, const std::string& path);

// Writes the current program and values, making the folder if needed; throws host::PresetError.
void saveSettings(host::Instance& plugin, const std::string& path);

} // namespace brimtone::standalone
