#pragma once
// Images built in memory for the editor tests, and a DebugTrace recorder.

#include "editor/DebugTrace.h"
#include "editor/ImageSource.h"

#include <map>
#include <string>
#include <vector>

namespace brimtone::editor::test {

class FakeImages final : public ImageSource {
public:
    std::shared_ptr<const Image> image(int id) override { return images_.count(id) ? images_[id] : nullptr; }
    void addSolid(int id, int w, int h, Pixel p)
    {
        auto img = std::make_shared<Image>(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img->at(x, y) = p;
        images_[id] = img;
    }

private:
    std::map<int, std::shared_ptr<const Image>> images_;
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
class TraceRecorder {
public:
    TraceRecorder() : previous_(setTraceSink(&record)) { reports().clear(); }
    ~TraceRecorder() { setTraceSink(previous_); }
    static std::vector<std::string>& reports()
    {
        static std::vector<std::string> list;
        return list;
    }

private:
    static void record(const char* message, const char* location)
    {
        reports().push_back(std::string(message) + " @ " + location);
    }
    TraceSink previous_;
};

} // namespace brimtone::editor::test
