#include "PluginUnderTest.h"
#include "SavedSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace brimtone;
using namespace brimtone::host;

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

TEST(SavedSettings, SavedProgramComesBackAndADamagedFileChangesNothing)
{
    ASSERT_TRUE(pluginUnderTest().loaded()) << "cannot load " << pluginPath();
    const auto folder = std::filesystem::temp_directory_path() / "brimtone_saved_settings_test";
    const std::string path = (folder / "config" / "brimtone" / "standalone.fxp").string();
    std::filesystem::remove_all(folder);
    Instance before(pluginUnderTest()), after(pluginUnderTest()), damaged(pluginUnderTest()), fresh(pluginUnderTest());
    EXPECT_EQ(standalone::restoreSettings(after, path), ""); // a first start
    EXPECT_EQ(before.selectProgram("7"), "");
    before.set(3, 0.3125f);
    standalone::saveSettings(before, path); // makes the folders
    EXPECT_EQ(standalone::restoreSettings(after, path), "");
    EXPECT_EQ(after.dispatch(vst::effGetProgram), 7);
    EXPECT_EQ(captureProgram(after).values, captureProgram(before).values);

    std::ofstream(path) << "not a preset";
    const std::string problem = standalone::restoreSettings(damaged, path);
    EXPECT_NE(problem.find(path + ": not a VST preset file"), std::string::npos) << problem;
    EXPECT_EQ(damaged.dispatch(vst::effGetProgram), 0);
    EXPECT_EQ(captureProgram(damaged).values, captureProgram(fresh).values);
    std::filesystem::remove_all(folder);
}
