#include "shell/PluginIdentity.h"

#include "vst/Vst2.h"

namespace brimtone {

// The maker's web server (a build setting) publishes the download page and the
// version file; a site address too long for the URL fields fails to compile.
const PluginIdentity pluginIdentity = {
    "QIV",
    "Brimtone",
    "QIV Brimtone RX14",
    BRIMTONE_SITE "/?q=audio-fx",
    BRIMTONE_SITE "/versions.dat",
    {'Q', 'B', 'R', 'T'},
    1000,
};

std::int32_t pluginUniqueId()
{
    const char* id = pluginIdentity.uniqueId;
    return vst::fourCC(id[0], id[1], id[2], id[3]);
}

void copyBounded(char* destination, const char* text, int capacity)
{
    int i = 0;
    for (; i < capacity - 1 && text[i] != '\0'; ++i)
        destination[i] = text[i];
    for (; i < capacity; ++i)
        destination[i] = '\0';
}

} // namespace brimtone
