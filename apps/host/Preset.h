#pragma once
// VST2 preset files holding parameter values: a program (.fxp, 'FxCk') and a
// bank of programs (.fxb, 'FxBk'). Every field is big-endian, as the format
// defines. A file is decoded and checked completely before anything reaches
// the plug-in, so a bad file changes nothing.

#include "PluginHost.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace brimtone::host {

// The plug-in a preset is made for or loaded into, read from it through the host.
struct PresetTarget {
    std::int32_t fxID = 0;
    std::int32_t fxVersion = 0;
    int numParams = 0;
    int numPrograms = 0;
    std::vector<std::string> paramNames; // for error messages
};
PresetTarget presetTarget(Instance& plugin);

struct ProgramPreset {
    std::string name;
    std::vector<float> values;
};

struct BankPreset {
    std::vector<ProgramPreset> programs;
    int currentProgram = 0;
};

// What is wrong with a preset; the file readers put the file's name in front.
class PresetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<std::uint8_t> encodeProgram(const PresetTarget& target, const ProgramPreset& program);
std::vector<std::uint8_t> encodeBank(const PresetTarget& target, const BankPreset& bank);
ProgramPreset decodeProgram(const std::vector<std::uint8_t>& bytes, const PresetTarget& target);
BankPreset decodeBank(const std::vector<std::uint8_t>& bytes, const PresetTarget& target);

ProgramPreset readProgramFile(const std::string& path, const PresetTarget& target);
BankPreset readBankFile(const std::string& path, const PresetTarget& target);
// Writes beside the destination and renames, so a failed write leaves the old file.
void writePresetFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The current program's name and parameter values, and every program.
ProgramPreset captureProgram(Instance& plugin);
BankPreset captureBank(Instance& plugin);
// Loads into the current program: its name and every parameter.
void applyProgram(Instance& plugin, const ProgramPreset& program);
// Loads every program, then selects the bank's current one.
void applyBank(Instance& plugin, const BankPreset& bank);

} // namespace brimtone::host
