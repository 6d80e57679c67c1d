// Brimtone.dll's editor as a Windows host opens it: effEditGetRect, effEditOpen in a
// host window, effEditIdle from the host's loop, effEditClose.

#include "PluginHost.h"
#include "WinTestHost.h"

#include <gtest/gtest.h>

#include <set>

using brimtone::host::Instance;
using brimtone::host::PluginModule;
using wintest::firstChild;

namespace {

void idleFor(Instance& instance, int ms)
{
    for (int t = 0; t < ms; t += 30) {
        instance.dispatch(vst::effEditIdle);
        wintest::pump(30);
    }
}

TEST(PluginEditor, OpensShowsThePanelTakesAClickAndSurvivesWhatHostsDo)
{
    static PluginModule module("Brimtone.dll");
    ASSERT_TRUE(module.loaded()) << module.loadError();
    Instance instance(module), other(module);
    ASSERT_TRUE(instance.effect()->flags & vst::effFlagsHasEditor);
    instance.dispatch(vst::effEditIdle); // before any open: nothing
    vst::ERect* rect = nullptr;
    ASSERT_NE(instance.dispatch(vst::effEditGetRect, 0, 0, &rect), 0);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1024);
    EXPECT_EQ(rect->bottom - rect->top, 362);

    HWND parent = wintest::createParent(1024, 362);
    ASSERT_NE(instance.dispatch(vst::effEditOpen, 0, 0, parent), 0);
    HWND first = firstChild(parent);
    ASSERT_NE(instance.dispatch(vst::effEditOpen, 0, 0, parent), 0);
    EXPECT_FALSE(IsWindow(first)) << "a second open replaces the first window";
    HWND child = firstChild(parent);
    RECT client;
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 362);
    idleFor(instance, 200);
    const auto pixels = wintest::grab(child, 1024, 362);
    EXPECT_GT(std::set<std::uint32_t>(pixels.begin(), pixels.end()).size(), 100u) << "the panel is drawn";
    EXPECT_EQ(instance.dispatch(vst::effEditKeyDown, 0, ' '), 0) << "keys stay with the host";

    auto& record = brimtone::host::hostRecord();
    record = {};
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(332 + 25, 285 + 20));
    PostMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(332 + 25, 285 + 20));
    idleFor(instance, 100);
    EXPECT_EQ(record.lastAutomatedIndex, 1) << "the Lead button";
    EXPECT_FLOAT_EQ(record.lastAutomatedValue, 1.0f);
    instance.dispatch(vst::effEditClose);
    EXPECT_FALSE(IsWindow(child));
    instance.dispatch(vst::effEditClose);
    instance.dispatch(vst::effEditIdle);

    for (int i = 0; i < 100; ++i) {
        ASSERT_NE(instance.dispatch(vst::effEditOpen, 0, 0, parent), 0) << "cycle " << i;
        instance.dispatch(vst::effEditIdle);
        wintest::pump(1);
        instance.dispatch(vst::effEditClose);
        ASSERT_EQ(firstChild(parent), nullptr) << "cycle " << i;
    }

    // Two instances open at once, one closed with its window gone already.
    HWND second = wintest::createParent(1024, 362, 100, 400);
    ASSERT_NE(instance.dispatch(vst::effEditOpen, 0, 0, parent), 0);
    ASSERT_NE(other.dispatch(vst::effEditOpen, 0, 0, second), 0);
    idleFor(instance, 100);
    idleFor(other, 100);
    DestroyWindow(second);
    other.dispatch(vst::effEditIdle);
    other.dispatch(vst::effEditClose);
    EXPECT_EQ(other.dispatch(vst::effEditOpen, 0, 0, second), 0) << "a window that is gone is refused";
    idleFor(instance, 100);
    EXPECT_NE(firstChild(parent), nullptr);
    instance.dispatch(vst::effEditClose);
    DestroyWindow(parent);
}

} // namespace
