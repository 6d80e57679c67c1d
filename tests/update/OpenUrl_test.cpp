#ifndef _WIN32
#include "platform/OpenUrl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace brimtone;

// A stand-in xdg-open on PATH records the arguments it was started with.
TEST(OpenUrl, StartsXdgOpenWithTheAddressAsItsOnlyArgumentAndLeavesNoChild)
{
    char folder[] = "/tmp/brimtone-open-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::filesystem::path dir = folder, log = dir / "arguments";
    std::ofstream(dir / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" << log.string() << ".part' && mv '"
                                    << log.string() << ".part' '" << log.string() << "'\n";
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.string() + ":" + path).c_str(), 1);

    const std::string url = "https://brimtone.example/?q=audio-fx;touch x `id` $HOME";
    EXPECT_TRUE(platform::openUrl(url));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1); // nothing left for us to reap
    EXPECT_EQ(errno, ECHILD);
    for (int i = 0; i < 400 && !std::filesystem::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    EXPECT_EQ(text.str(), "1\n" + url + "\n");

    std::filesystem::remove(log);
    EXPECT_FALSE(platform::openUrl("file:///etc/passwd"));
    EXPECT_FALSE(platform::openUrl("--help"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(std::filesystem::exists(log));

    setenv("PATH", path.c_str(), 1);
    std::filesystem::remove_all(dir);
}
#endif
