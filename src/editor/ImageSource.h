#pragma once
// Where the controls get their decoded images from.

#include "editor/Image.h"

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
    std::shared_ptr<const Image> image(int id) override;

private:
    std::map<int, std::shared_ptr<const Image>> decoded_; // misses are kept too
};

} // namespace brimtone::editor
