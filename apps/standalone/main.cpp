// brimtone-standalone: plays through the amp without a DAW. It loads the
// plug-in module through its exported entry point, as a DAW does, runs the
// audio input through it in real time and keeps the settings between runs.

#include "AudioStream.h"
#include "CommandLine.h"
#include "PluginHost.h"
#include "SavedSettings.h"
#include "StandaloneOptions.h"
#if BRIMTONE_STANDALONE_X11
#include "PlayerWindow.h"
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace brimtone;
using namespace brimtone::standalone;

using host::fail;
using host::Failure;

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

void notice(const std::string& text) { std::fprintf(stderr, "brimtone-standalone: %s\n", text.c_str()); }

std::string programTitle(host::Instance& plugin) { return "Brimtone - " + plugin.text(vst::effGetProgramName); }

std::string programStatus(host::Instance& plugin)
{
    return "Program " + std::to_string(plugin.dispatch(vst::effGetProgram)) + ": " + plugin.text(vst::effGetProgramName)
           + "\n\nPageUp/PageDown or the arrow keys: program\n"
             "The plug-in has no editor; its settings come from --program and --preset.";
}

void stepProgram(host::Instance& plugin, int step)
{
    const int count = plugin.effect()->numPrograms;
    const int next = (static_cast<int>(plugin.dispatch(vst::effGetProgram)) + step + count) % count;
    plugin.dispatch(vst::effSetProgram, 0, next);
}

#if BRIMTONE_STANDALONE_X11
// The window's loop: events, and the editor's idle call at about 60 Hz.
void runWindow(host::Instance& plugin, PlayerWindow& window, bool editor)
{
    window.show(programTitle(plugin), editor ? std::string() : programStatus(plugin));
    if (editor)
        plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(window.windowId()));
    constexpr auto kIdle = std::chrono::microseconds(16667);
    auto nextIdle = std::chrono::steady_clock::now() + kIdle;
    while (!interrupted) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(nextIdle - std::chrono::steady_clock::now());
        const PlayerWindow::Action action = window.wait(static_cast<int>(std::max<long>(0, left.count())));
        if (action == PlayerWindow::Action::Close)
            break;
        if (action == PlayerWindow::Action::NextProgram || action == PlayerWindow::Action::PreviousProgram) {
            stepProgram(plugin, action == PlayerWindow::Action::NextProgram ? 1 : -1);
            window.show(programTitle(plugin), editor ? std::string() : programStatus(plugin));
            std::printf("program %d: %s\n", static_cast<int>(plugin.dispatch(vst::effGetProgram)),
                        plugin.text(vst::effGetProgramName).c_str());
            std::fflush(stdout);
        }
        if (std::chrono::steady_clock::now() >= nextIdle) {
            if (editor)
                plugin.dispatch(vst::effEditIdle);
            nextIdle += kIdle;
        }
    }
    if (editor)
        plugin.dispatch(vst::effEditClose);
}
#endif

int run(const StandaloneOptions& options)
{
    const std::string pluginPath
        = options.plugin.empty() ? host::defaultPluginPath(BRIMTONE_DEFAULT_PLUGIN) : options.plugin;
    host::PluginModule module(pluginPath);
    if (const std::string problem = host::pluginProblem(pluginPath, module); !problem.empty())
        fail(problem + "; give the plug-in with --plugin PATH");

    if (options.listDevices) {
        AudioSystem audio;
        std::fputs(audio.deviceList().c_str(), stdout);
        return 0;
    }

    host::Instance plugin(module, options.rate > 0.0 ? options.rate : 48000.0, options.block);
    if (plugin.effect() == nullptr || plugin.effect()->magic != vst::kEffectMagic)
        fail("'" + pluginPath + "' refused to start");
    const bool editor = (plugin.effect()->flags & vst::effFlagsHasEditor) != 0;

    // The display before the audio, so that a missing one costs no device.
    bool gui = !options.noGui;
#if BRIMTONE_STANDALONE_X11
    std::unique_ptr<PlayerWindow> window;
    if (gui) {
        int width = 520, height = 110;
        vst::ERect* rect = nullptr;
        if (editor && plugin.dispatch(vst::effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr) {
            width = rect->right - rect->left;
            height = rect->bottom - rect->top;
        }
        std::string error;
        window = PlayerWindow::open(width, height, error);
        if (window == nullptr)
            fail(error + "; run with --no-gui to play without a window");
    }
#else
    if (gui)
        notice("built without X11: running as with --no-gui");
    gui = false;
#endif

    const std::string settings = settingsPath();
    if (const std::string problem = restoreSettings(plugin, settings); !problem.empty())
        notice("ignoring the saved settings: " + problem);
    if (!options.program.empty())
        if (const std::string problem = plugin.selectProgram(options.program); !problem.empty())
            fail(problem);
    if (!options.preset.empty())
        host::applyProgram(plugin, host::readProgramFile(options.preset, host::presetTarget(plugin)));

    AudioSystem audio;
    AudioStream stream(audio, plugin.effect(), {options.device, options.rate, options.block, options.monoInput});
    std::printf("%s\nprogram %d: %s\n", stream.description().c_str(),
                static_cast<int>(plugin.dispatch(vst::effGetProgram)), plugin.text(vst::effGetProgramName).c_str());
    std::printf("%s\n", gui ? "playing; close the window or press Ctrl-C to stop" : "playing; Ctrl-C stops");
    std::fflush(stdout);
    stream.start();
#if BRIMTONE_STANDALONE_X11
    if (window != nullptr)
        runWindow(plugin, *window, editor);
#endif
    while (!interrupted && !gui)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stream.stop();

    std::printf("stopped; %ld xrun%s\n", stream.xruns(), stream.xruns() == 1 ? "" : "s");
    if (!settings.empty()) {
        try {
            saveSettings(plugin, settings);
        } catch (const host::PresetError& error) {
            notice(std::string("cannot keep the settings: ") + error.what());
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto options = parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "brimtone-standalone: %s\nTry 'brimtone-standalone --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usageText, stdout);
        return 0;
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    try {
        return run(*options);
    } catch (const Failure& failure) {
        notice("error: " + failure.message);
    } catch (const std::exception& e) {
        notice(std::string("error: ") + e.what());
    }
    return 1;
}
