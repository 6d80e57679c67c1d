#pragma once
// Where the controls get their decoded images from.

#include "editor/Image.h"
#include "platform/Resources.h"

#include <map>
#include <memory>

namespace brimtone::editor {

class ImageSource {
public:
    virtual ~ImageSource() = default;
    // The image with this numeric id, or null when there is none or it does not decode.
    virtual std::shared_ptr<const Image> image(int id) = 0;
};

// The PNG images embedded in the plug-in module, each decoded once for as long as this
// object lives (the editor keeps one per opening of its window).
class ResourceImages final : public ImageSource {
public:
    using Finder = std::span<const std::uint8_t> (*)(int id, const char* type);

    explicit ResourceImages(Finder find = &platform::findResource) : find_(find) {}
    std::shared_ptr<const Image> image(int id) override;

private:
    Finder find_;
    std::map<int, std::shared_ptr<const Image>> decoded_; // misses are kept too
};

} // namespace brimtone::editor
