#pragma once
// The built plug-in module the host tests load, once per test program.

#include "PluginHost.h"

#include <string>

inline std::string pluginPath()
{
#ifdef _WIN32
    return "Brimtone.dll"; // beside the test program
#else
    return BRIMTONE_PLUGIN_PATH;
#endif
}

inline const brimtone::host::PluginModule& pluginUnderTest()
{
    static brimtone::host::PluginModule loaded(pluginPath());
    return loaded;
}
