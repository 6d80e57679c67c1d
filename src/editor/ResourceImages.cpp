#include "editor/ImageSource.h"
#include "editor/Png.h"

namespace brimtone::editor {

std::shared_ptr<const Image> ResourceImages::image(int id)
{
    auto found = decoded_.find(id);
    if (found != decoded_.end())
        return found->second;
    std::shared_ptr<const Image> result;
    if (auto decoded = decodePng(find_(id, "PNG")))
        result = std::make_shared<const Image>(std::move(*decoded));
    decoded_.emplace(id, result);
    return result;
}

} // namespace brimtone::editor
