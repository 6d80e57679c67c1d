// The standalone's settings between runs, through the built plug-in: where they
// are kept, that program and values come back, and that a damaged file is
// reported and left alone.

#include "PluginUnderTest.h"
#include "SavedSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace brimtone;
using namespace brimtone::host;

namespace {

std::vector<float> valuesOf(Instance& plugin) { return captureProgram(plugin).values; }

TEST(SavedSettings, PathFollowsXdgConfigHome)
{
    ::setenv("HOME", "/home/player", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(standalone::settingsPath(), "/cfg/brimtone/standalone.fxp");
    for (const char* unusable : {"", "relative/dir"}) {
        ::setenv("XDG_CONFIG_HOME", unusable, 1);
        EXPECT_EQ(standalone::settingsPath(), "/home/player/.config/brimtone/standalone.fxp") << unusable;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(standalone::settingsPath(), "/home/player/.config/brimtone/standalone.fxp");
    ::unsetenv("HOME");
    EXPECT_EQ(standalone::settingsPath(), "");
}

class SavedSettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pluginUnderTest().loaded()) << "cannot load " << pluginPath();
        std::filesystem::remove_all(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    // One folder per test: CTest runs the tests of this program side by side.
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path()
          / ("brimtone_saved_settings_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::string path = (folder / "config" / "brimtone" / "standalone.fxp").string();
};

TEST_F(SavedSettingsFile, ProgramAndValuesSurviveARestart)
{
    Instance before(pluginUnderTest());
    EXPECT_EQ(before.selectProgram("7"), "");
    before.set(3, 0.3125f);
    before.set(11, 0.0625f);
    standalone::saveSettings(before, path); // makes the folders

    Instance after(pluginUnderTest());
    EXPECT_EQ(standalone::restoreSettings(after, path), "");
    EXPECT_EQ(after.dispatch(vst::effGetProgram), 7);
    EXPECT_EQ(after.text(vst::effGetProgramName), before.text(vst::effGetProgramName));
    EXPECT_EQ(valuesOf(after), valuesOf(before));
}

TEST_F(SavedSettingsFile, MissingOrDamagedFileChangesNothing)
{
    Instance fresh(pluginUnderTest());
    Instance plugin(pluginUnderTest());
    EXPECT_EQ(standalone::restoreSettings(plugin, path), ""); // a first start

    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "not a preset";
    const std::string problem = standalone::restoreSettings(plugin, path);
    EXPECT_NE(problem.find(path + ": not a VST preset file"), std::string::npos) << problem;
    EXPECT_EQ(plugin.dispatch(vst::effGetProgram), 0);
    EXPECT_EQ(valuesOf(plugin), valuesOf(fresh));
}

} // namespace
