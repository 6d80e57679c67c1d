// Brimtone.dll's editor as a Windows host opens it: effEditGetRect, effEditOpen in a
// host window, effEditIdle from the host's loop, effEditClose.

#include "PluginHost.h"
#include "WinTestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

using brimtone::host::Instance;
using brimtone::host::PluginModule;
using wintest::pump;

namespace {

const PluginModule& plugin()
{
    static PluginModule loaded("Brimtone.dll"); // beside the test program
    return loaded;
}

std::unique_ptr<Instance> editorInstance()
{
    auto instance = std::make_unique<Instance>(plugin());
    if (instance->effect() == nullptr || !(instance->effect()->flags & vst::effFlagsHasEditor))
        return nullptr;
    return instance;
}

#define REQUIRE_EDITOR(name)                                                                                           \
    ASSERT_TRUE(plugin().loaded()) << plugin().loadError();                                                            \
    auto name = editorInstance();                                                                                      \
    if (!name)                                                                                                         \
    GTEST_SKIP() << "the plug-in reports no editor"

// Idles the editor as a host does, every 30 ms, for `ms` milliseconds.
void idleFor(Instance& instance, int ms)
{
    for (int t = 0; t < ms; t += 30) {
        instance.dispatch(vst::effEditIdle);
        pump(30);
    }
}

LPARAM at(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

TEST(PluginEditor, OpensShowsThePanelTakesAClickAndCloses)
{
    REQUIRE_EDITOR(instance);
    vst::ERect* rect = nullptr;
    ASSERT_NE(instance->dispatch(vst::effEditGetRect, 0, 0, &rect), 0);
    ASSERT_NE(rect, nullptr);
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 362);

    HWND parent = wintest::createParent(width, height);
    ASSERT_NE(instance->dispatch(vst::effEditOpen, 0, 0, parent), 0);
    HWND child = wintest::firstChild(parent);
    ASSERT_NE(child, nullptr);
    RECT client;
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
    idleFor(*instance, 200);
    const auto pixels = wintest::grab(child, width, height);
    EXPECT_GT(std::set<std::uint32_t>(pixels.begin(), pixels.end()).size(), 100u) << "the panel is drawn";
    EXPECT_EQ(instance->dispatch(vst::effEditKeyDown, 0, ' '), 0) << "keys stay with the host";

    // The Lead button sets the channel to its last value.
    auto& record = brimtone::host::hostRecord();
    record = {};
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at(332 + 25, 285 + 20));
    PostMessageA(child, WM_LBUTTONUP, 0, at(332 + 25, 285 + 20));
    idleFor(*instance, 100);
    EXPECT_EQ(record.lastAutomatedIndex, 1);
    EXPECT_FLOAT_EQ(record.lastAutomatedValue, 1.0f);

    instance->dispatch(vst::effEditClose);
    EXPECT_FALSE(IsWindow(child));
    instance->dispatch(vst::effEditClose); // twice is harmless
    instance->dispatch(vst::effEditIdle);  // and so is idle with no window
    ASSERT_NE(instance->dispatch(vst::effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect->right - rect->left, 1024);
    DestroyWindow(parent);
}

TEST(PluginEditor, LifecycleAsHostsDriveIt)
{
    REQUIRE_EDITOR(instance);
    instance->dispatch(vst::effEditIdle); // before any open: nothing
    HWND parent = wintest::createParent(1024, 362);

    // A second open replaces the first window.
    ASSERT_NE(instance->dispatch(vst::effEditOpen, 0, 0, parent), 0);
    HWND first = wintest::firstChild(parent);
    ASSERT_NE(instance->dispatch(vst::effEditOpen, 0, 0, parent), 0);
    EXPECT_FALSE(IsWindow(first));
    idleFor(*instance, 60);
    instance->dispatch(vst::effEditClose);
    EXPECT_EQ(wintest::firstChild(parent), nullptr);

    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(instance->dispatch(vst::effEditOpen, 0, 0, parent), 0) << "cycle " << i;
        instance->dispatch(vst::effEditIdle);
        pump(1);
        instance->dispatch(vst::effEditClose);
        ASSERT_EQ(wintest::firstChild(parent), nullptr) << "cycle " << i;
    }

    // Two instances open at once, one closed with its window gone already.
    auto other = editorInstance();
    ASSERT_NE(other, nullptr);
    HWND second = wintest::createParent(1024, 362, 100, 400);
    ASSERT_NE(instance->dispatch(vst::effEditOpen, 0, 0, parent), 0);
    ASSERT_NE(other->dispatch(vst::effEditOpen, 0, 0, second), 0);
    idleFor(*instance, 100);
    idleFor(*other, 100);
    DestroyWindow(second);
    other->dispatch(vst::effEditIdle);
    other->dispatch(vst::effEditClose);
    EXPECT_EQ(other->dispatch(vst::effEditOpen, 0, 0, second), 0) << "a window that is gone is refused";
    other.reset();
    idleFor(*instance, 100);
    EXPECT_NE(wintest::firstChild(parent), nullptr);
    instance->dispatch(vst::effEditClose);
    DestroyWindow(parent);
}

} // namespace
