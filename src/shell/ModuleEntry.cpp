// The library's exported entry points: VSTPluginMain, exported a second time
// as `main` for older hosts, and on Windows the load hook that keeps the
// module handle for the editor's images and window classes.

#include "platform/Module.h"
#include "shell/PluginEffect.h"

#ifdef _WIN32
#include <windows.h>
#define BRIMTONE_EXPORT extern "C" __declspec(dllexport)
#else
#define BRIMTONE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

BRIMTONE_EXPORT vst::AEffect* VSTPluginMain(vst::HostCallback audioMaster)
{
    if (audioMaster == nullptr || audioMaster(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    brimtone::PluginEffect* effect = brimtone::createEffectInstance(audioMaster);
    return effect != nullptr ? effect->getAeffect() : nullptr;
}

#ifdef _WIN32
// `main` is exported under its second name by the module definition file.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/)
{
    brimtone::platform::setModuleHandle(instance);
    return TRUE;
}
#else
// The same function under the name older hosts look for. C++ reserves the
// name `main` for the program entry, so the alias is given as a symbol name.
BRIMTONE_EXPORT vst::AEffect* mainEntryAlias(vst::HostCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
#endif
