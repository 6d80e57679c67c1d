#include "Preset.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace brimtone::host {

namespace {

constexpr std::int32_t kChunkMagic = vst::fourCC('C', 'c', 'n', 'K');
constexpr std::int32_t kProgramMagic = vst::fourCC('F', 'x', 'C', 'k');
constexpr std::int32_t kBankMagic = vst::fourCC('F', 'x', 'B', 'k');
constexpr std::int32_t kProgramChunkMagic = vst::fourCC('F', 'P', 'C', 'h');
constexpr std::int32_t kBankChunkMagic = vst::fourCC('F', 'B', 'C', 'h');
constexpr std::size_t kNameBytes = 28;
constexpr std::size_t kProgramHeaderBytes = 7 * 4 + kNameBytes;
constexpr std::size_t kBankHeaderBytes = 7 * 4 + 128; // the last 128 bytes: current program (version 2), zeros

std::size_t programBytes(int numParams) { return kProgramHeaderBytes + 4 * static_cast<std::size_t>(numParams); }

std::string fourCCText(std::int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(code) >> shift) & 0xff);
        if (c < 0x20 || c > 0x7e) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(code));
            return hex;
        }
        text += c;
    }
    return "'" + text + "'";
}

class Writer {
public:
    void word(std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    void real(float value) { word(std::bit_cast<std::int32_t>(value)); }
    void text(const std::string& value, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            bytes.push_back(i + 1 < size && i < value.size() ? static_cast<std::uint8_t>(value[i]) : 0);
    }
    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const std::vector<std::uint8_t>& bytes, std::size_t start) : bytes_(bytes), at_(start) {}
    std::int32_t word()
    {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = bits << 8 | bytes_[at_++];
        return static_cast<std::int32_t>(bits);
    }
    float real() { return std::bit_cast<float>(word()); }
    std::string text(std::size_t size)
    {
        std::string value;
        for (std::size_t i = 0; i < size; ++i) {
            const auto c = static_cast<char>(bytes_[at_ + i]);
            if (c == '\0')
                break;
            value += c;
        }
        at_ += size;
        return value;
    }
    void need(std::size_t count) const
    {
        if (bytes_.size() < at_ + count)
            throw PresetError("truncated: " + std::to_string(bytes_.size()) + " bytes, " + std::to_string(at_ + count)
                              + " needed");
    }
    std::size_t at() const { return at_; }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_;
};

void writeProgram(Writer& out, const PresetTarget& target, const ProgramPreset& program)
{
    out.word(kChunkMagic);
    out.word(static_cast<std::int32_t>(programBytes(target.numParams) - 8));
    out.word(kProgramMagic);
    out.word(1);
    out.word(target.fxID);
    out.word(target.fxVersion);
    out.word(target.numParams);
    out.text(program.name, kNameBytes);
    for (int i = 0; i < target.numParams; ++i)
        out.real(i < static_cast<int>(program.values.size()) ? program.values[i] : 0.0f);
}

// The fields every preset starts with, up to and including the count.
struct Header {
    std::int32_t fxMagic;
    std::int32_t version;
    std::int32_t count;
};

Header readHeader(Reader& in, const PresetTarget& target, std::int32_t expectedMagic)
{
    in.need(8);
    if (in.word() != kChunkMagic)
        throw PresetError("not a VST preset file (no 'CcnK' magic)");
    in.word(); // byte size: the counts below decide what must follow
    in.need(4);
    Header header{in.word(), 0, 0};
    if (header.fxMagic == kProgramChunkMagic || header.fxMagic == kBankChunkMagic)
        throw PresetError("holds an opaque chunk; only parameter presets ('FxCk', 'FxBk') can be read");
    if (header.fxMagic != expectedMagic) {
        if (header.fxMagic == kProgramMagic)
            throw PresetError("is a single program (.fxp), not a bank");
        if (header.fxMagic == kBankMagic)
            throw PresetError("is a bank (.fxb), not a single program");
        throw PresetError("unknown preset type " + fourCCText(header.fxMagic));
    }
    in.need(16);
    header.version = in.word();
    const std::int32_t fxID = in.word();
    if (fxID != target.fxID)
        throw PresetError("belongs to another plug-in (ID " + fourCCText(fxID) + ", this one is "
                          + fourCCText(target.fxID) + ")");
    in.word(); // the plug-in version that wrote it
    header.count = in.word();
    return header;
}

ProgramPreset readProgram(Reader& in, const PresetTarget& target)
{
    const Header header = readHeader(in, target, kProgramMagic);
    if (header.version != 1)
        throw PresetError("program format version " + std::to_string(header.version) + " is unknown");
    if (header.count != target.numParams)
        throw PresetError("has " + std::to_string(header.count) + " parameters, the plug-in has "
                          + std::to_string(target.numParams));
    in.need(kNameBytes + 4 * static_cast<std::size_t>(target.numParams));
    ProgramPreset program;
    program.name = in.text(kNameBytes);
    for (int i = 0; i < target.numParams; ++i) {
        const float value = in.real();
        if (!(value >= 0.0f && value <= 1.0f)) {
            const std::string name
                = i < static_cast<int>(target.paramNames.size()) ? " (" + target.paramNames[i] + ")" : "";
            throw PresetError("parameter " + std::to_string(i) + name + " has the value "
                              + (std::isnan(value) ? std::string("NaN") : std::to_string(value)) + ", outside 0..1");
        }
        program.values.push_back(value);
    }
    return program;
}

std::vector<std::uint8_t> readWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw PresetError(path + ": cannot open");
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace

PresetTarget presetTarget(Instance& plugin)
{
    const vst::AEffect* effect = plugin.effect();
    PresetTarget target{effect->uniqueID, effect->version, effect->numParams, effect->numPrograms, {}};
    for (int i = 0; i < target.numParams; ++i)
        target.paramNames.push_back(plugin.text(vst::effGetParamName, i));
    return target;
}

std::vector<std::uint8_t> encodeProgram(const PresetTarget& target, const ProgramPreset& program)
{
    Writer out;
    writeProgram(out, target, program);
    return out.bytes;
}

std::vector<std::uint8_t> encodeBank(const PresetTarget& target, const BankPreset& bank)
{
    Writer out;
    out.word(kChunkMagic);
    out.word(static_cast<std::int32_t>(kBankHeaderBytes - 8 + bank.programs.size() * programBytes(target.numParams)));
    out.word(kBankMagic);
    out.word(2);
    out.word(target.fxID);
    out.word(target.fxVersion);
    out.word(static_cast<std::int32_t>(bank.programs.size()));
    out.word(bank.currentProgram);
    out.text("", 124);
    for (const ProgramPreset& program : bank.programs)
        writeProgram(out, target, program);
    return out.bytes;
}

ProgramPreset decodeProgram(const std::vector<std::uint8_t>& bytes, const PresetTarget& target)
{
    Reader in(bytes, 0);
    return readProgram(in, target);
}

BankPreset decodeBank(const std::vector<std::uint8_t>& bytes, const PresetTarget& target)
{
    Reader in(bytes, 0);
    const Header header = readHeader(in, target, kBankMagic);
    if (header.version != 1 && header.version != 2)
        throw PresetError("bank format version " + std::to_string(header.version) + " is unknown");
    if (header.count != target.numPrograms)
        throw PresetError("has " + std::to_string(header.count) + " programs, the plug-in has "
                          + std::to_string(target.numPrograms));
    in.need(128);
    BankPreset bank;
    bank.currentProgram = header.version == 2 ? in.word() : 0;
    if (bank.currentProgram < 0 || bank.currentProgram >= target.numPrograms)
        throw PresetError("names program " + std::to_string(bank.currentProgram) + " as current, outside 0.."
                          + std::to_string(target.numPrograms - 1));
    Reader programs(bytes, kBankHeaderBytes);
    for (int p = 0; p < header.count; ++p) {
        try {
            bank.programs.push_back(readProgram(programs, target));
        } catch (const PresetError& error) {
            throw PresetError("program " + std::to_string(p) + " " + error.what());
        }
    }
    return bank;
}

ProgramPreset readProgramFile(const std::string& path, const PresetTarget& target)
{
    try {
        return decodeProgram(readWhole(path), target);
    } catch (const PresetError& error) {
        throw PresetError(path + ": " + error.what());
    }
}

BankPreset readBankFile(const std::string& path, const PresetTarget& target)
{
    try {
        return decodeBank(readWhole(path), target);
    } catch (const PresetError& error) {
        throw PresetError(path + ": " + error.what());
    }
}

void writePresetFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string partial = path + ".partial";
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    std::error_code renamed;
    if (file)
        std::filesystem::rename(partial, path, renamed); // replaces an existing file on Windows too
    if (!file || renamed) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw PresetError(path + ": cannot write");
    }
}

ProgramPreset captureProgram(Instance& plugin)
{
    ProgramPreset program{plugin.text(vst::effGetProgramName), {}};
    for (int i = 0; i < plugin.effect()->numParams; ++i)
        program.values.push_back(plugin.get(i));
    return program;
}

BankPreset captureBank(Instance& plugin)
{
    BankPreset bank;
    bank.currentProgram = static_cast<int>(plugin.dispatch(vst::effGetProgram));
    for (int p = 0; p < plugin.effect()->numPrograms; ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        bank.programs.push_back(captureProgram(plugin));
    }
    plugin.dispatch(vst::effSetProgram, 0, bank.currentProgram);
    return bank;
}

void applyProgram(Instance& plugin, const ProgramPreset& program)
{
    std::string name = program.name;
    plugin.dispatch(vst::effSetProgramName, 0, 0, name.data());
    for (int i = 0; i < static_cast<int>(program.values.size()); ++i)
        plugin.set(i, program.values[i]);
}

void applyBank(Instance& plugin, const BankPreset& bank)
{
    for (int p = 0; p < static_cast<int>(bank.programs.size()); ++p) {
        plugin.dispatch(vst::effSetProgram, 0, p);
        applyProgram(plugin, bank.programs[p]);
    }
    plugin.dispatch(vst::effSetProgram, 0, bank.currentProgram);
}

} // namespace brimtone::host
