#pragma once
#include <cstdint>

namespace brimtone {

// Who the plug-in is, as hosts, the About panel and the update check see it.
// Text fields have the sizes of the interface's buffers.
struct PluginIdentity {
    char vendor[64];
    char effectName[32];
    char product[64];
    char downloadUrl[48];
    char versionUrl[48];
    char uniqueId[4];
    std::int32_t versionCode; // 1000 reads "1.0.00"
};

extern const PluginIdentity pluginIdentity;

// The unique ID as the host sees it: first character in the most significant byte.
std::int32_t pluginUniqueId();

// Copies at most `length` characters of `text` into `destination` and writes a
// terminating zero at `destination[length]`; the buffer holds length + 1 bytes.
void copyBounded(char* destination, const char* text, int length);

} // namespace brimtone
