#pragma once
// Images built in memory for the editor tests, and a DebugTrace recorder.

#include "editor/DebugTrace.h"
#include "editor/ImageSource.h"

#include <map>
#include <string>
#include <vector>

namespace brimtone::editor::test {

struct FakeImages final : ImageSource {
    std::map<int, std::shared_ptr<const Image>> images;
    std::shared_ptr<const Image> image(int id) override { return images.count(id) ? images[id] : nullptr; }
    void addSolid(int id, int w, int h, Pixel p)
    {
        auto img = std::make_shared<Image>(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img->at(x, y) = p;
        images[id] = img;
    }
};

// A panel whose every pixel tells where it is.
inline Image patternPanel(int w, int h)
{
    Image panel(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            panel.at(x, y) = pixelFromBgra(x & 0xFF, y & 0xFF, (x * 7 + y * 3) & 0x7F, 255);
    return panel;
}

// Collects DebugTrace reports while it lives.
struct TraceRecorder {
    static inline std::vector<std::string> reports;
    TraceSink previous = setTraceSink(
        [](const char* message, const char* where) { reports.push_back(std::string(message) + " @ " + where); });
    TraceRecorder() { reports.clear(); }
    ~TraceRecorder() { setTraceSink(previous); }
};

} // namespace brimtone::editor::test
