// Program and bank files through the built plug-in: what one instance writes
// another reads back exactly, a file laid out by hand loads, and every kind of
// bad file is refused with its reason and changes nothing.

#include "PluginUnderTest.h"
#include "Preset.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace brimtone::host;

namespace {

class PresetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pluginUnderTest().loaded()) << "cannot load " << pluginPath(); }

    static std::string tempFile(const std::string& name)
    {
        return (std::filesystem::temp_directory_path() / ("brimtone_preset_test_" + name)).string();
    }
    static void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
};

TEST_F(PresetTest, ProgramAndBankRoundTripBetweenInstances)
{
    Instance source(pluginUnderTest());
    const PresetTarget target = presetTarget(source);
    EXPECT_EQ(target.fxID, source.effect()->uniqueID);
    EXPECT_EQ(target.numParams, source.effect()->numParams);
    source.dispatch(vst::effSetProgram, 0, 3);
    source.set(3, 0.123456789f);
    char name[] = "My Crunch";
    source.dispatch(vst::effSetProgramName, 0, 0, name);

    const std::string fxp = tempFile("round.fxp");
    writePresetFile(fxp, encodeProgram(target, captureProgram(source)));
    EXPECT_EQ(std::filesystem::file_size(fxp), 56u + 4u * static_cast<unsigned>(target.numParams));
    Instance copy(pluginUnderTest());
    applyProgram(copy, readProgramFile(fxp, target));
    EXPECT_EQ(copy.text(vst::effGetProgramName), "My Crunch");
    for (int i = 0; i < target.numParams; ++i)
        EXPECT_EQ(copy.get(i), source.get(i)) << "parameter " << i;

    const BankPreset bank = captureBank(source);
    const std::string fxb = tempFile("round.fxb");
    writePresetFile(fxb, encodeBank(target, bank));
    Instance bankCopy(pluginUnderTest());
    applyBank(bankCopy, readBankFile(fxb, target));
    const BankPreset again = captureBank(bankCopy);
    EXPECT_EQ(again.currentProgram, 3);
    ASSERT_EQ(again.programs.size(), static_cast<std::size_t>(target.numPrograms));
    for (int p = 0; p < target.numPrograms; ++p) {
        EXPECT_EQ(again.programs[p].name, bank.programs[p].name);
        EXPECT_EQ(again.programs[p].values, bank.programs[p].values) << "program " << p;
    }
    std::filesystem::remove(fxp);
    std::filesystem::remove(fxb);
}

// The published layout, written field by field: no code of ours made these bytes.
TEST_F(PresetTest, HandWrittenProgramLoads)
{
    Instance plugin(pluginUnderTest());
    const int n = plugin.effect()->numParams;
    std::vector<std::uint8_t> bytes(56 + 4 * n, 0);
    const char* const text = "CcnK____FxCk";
    std::copy(text, text + 12, bytes.begin());
    putWord(bytes, 4, static_cast<std::uint32_t>(48 + 4 * n));
    putWord(bytes, 12, 1);
    putWord(bytes, 16, 'Q' << 24 | 'B' << 16 | 'R' << 8 | 'T');
    putWord(bytes, 20, 1);
    putWord(bytes, 24, static_cast<std::uint32_t>(n));
    const std::string name = "Hand Made";
    std::copy(name.begin(), name.end(), bytes.begin() + 28);
    for (int i = 0; i < n; ++i)
        putWord(bytes, 56 + 4 * i, std::bit_cast<std::uint32_t>(static_cast<float>(i) / static_cast<float>(n)));

    applyProgram(plugin, decodeProgram(bytes, presetTarget(plugin)));
    EXPECT_EQ(plugin.text(vst::effGetProgramName), "Hand Made");
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(plugin.get(i), static_cast<float>(i) / static_cast<float>(n)) << "parameter " << i;
}

TEST_F(PresetTest, BadFilesAreRefusedWithTheirReason)
{
    Instance plugin(pluginUnderTest());
    const PresetTarget target = presetTarget(plugin);
    const std::vector<std::uint8_t> good = encodeProgram(target, captureProgram(plugin));
    const std::size_t firstValue = 56;
    struct Case {
        std::string what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"no 'CcnK' magic", [](auto& b) { b[0] = 'R'; }},
        {"another plug-in (ID 'ABCD', this one is 'QBRT')", [&](auto& b) { putWord(b, 16, 0x41424344); }},
        {"has " + std::to_string(target.numParams - 1) + " parameters, the plug-in has "
             + std::to_string(target.numParams),
         [&](auto& b) {
             putWord(b, 24, static_cast<std::uint32_t>(target.numParams - 1));
             b.resize(b.size() - 4);
         }},
        {"truncated", [](auto& b) { b.resize(b.size() - 2); }},
        {"truncated", [](auto& b) { b.resize(20); }},
        {"parameter 1 (Channel) has the value NaN",
         [&](auto& b) { putWord(b, firstValue + 4, std::bit_cast<std::uint32_t>(std::nanf(""))); }},
        {"parameter 3 (Gain) has the value 1.5", [&](auto& b) { putWord(b, firstValue + 12, 0x3fc00000); }},
        {"parameter 0 (Enable) has the value -0.5", [&](auto& b) { putWord(b, firstValue, 0xbf000000); }},
        {"opaque chunk", [](auto& b) { b[9] = 'P', b[10] = 'C', b[11] = 'h'; }},
        {"is a bank (.fxb)", [](auto& b) { b[10] = 'B'; }},
    };
    const std::string path = tempFile("bad.fxp");
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        writePresetFile(path, bytes);
        try {
            readProgramFile(path, target);
            ADD_FAILURE() << "accepted a file that should fail with: " << c.what;
        } catch (const PresetError& error) {
            EXPECT_NE(std::string(error.what()).find(path + ": "), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.what), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(readProgramFile(tempFile("missing.fxp"), target), PresetError);
    std::filesystem::remove(path);
}

// A bank whose last program is damaged is refused as a whole: the programs
// before it are not loaded either.
TEST_F(PresetTest, DamagedBankChangesNothing)
{
    Instance source(pluginUnderTest());
    const PresetTarget target = presetTarget(source);
    for (int i = 0; i < target.numParams; ++i)
        source.set(i, 0.5f);
    BankPreset bank = captureBank(source);
    for (ProgramPreset& program : bank.programs)
        program.values = bank.programs[0].values;
    std::vector<std::uint8_t> bytes = encodeBank(target, bank);
    const std::string path = tempFile("bad.fxb");

    Instance plugin(pluginUnderTest());
    const BankPreset before = captureBank(plugin);
    putWord(bytes, bytes.size() - 4, 0x7fc00000); // the last value becomes a NaN
    writePresetFile(path, bytes);
    try {
        applyBank(plugin, readBankFile(path, target));
        ADD_FAILURE() << "accepted a bank with a NaN";
    } catch (const PresetError& error) {
        EXPECT_NE(std::string(error.what())
                      .find("program " + std::to_string(target.numPrograms - 1) + " parameter "
                            + std::to_string(target.numParams - 1)),
                  std::string::npos)
            << error.what();
    }
    putWord(bytes, 24, static_cast<std::uint32_t>(target.numPrograms - 1));
    writePresetFile(path, bytes);
    EXPECT_THROW(readBankFile(path, target), PresetError);
    const BankPreset after = captureBank(plugin);
    for (int p = 0; p < target.numPrograms; ++p)
        EXPECT_EQ(after.programs[p].values, before.programs[p].values) << "program " << p;
    std::filesystem::remove(path);
}

} // namespace
