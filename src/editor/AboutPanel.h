#pragma once
// The About panel: the credit and version text drawn once onto its own
// background image (124) when the editor is built. Switching the panel on and
// off only shows that image; the text is part of it.

#include "editor/Image.h"

#include <string>
#include <string_view>

namespace brimtone::editor {

struct AboutCredits {
    std::string_view product;     // the product string, as the host sees it
    std::string_view siteAddress; // the project's web site
    std::string_view mailAddress;
    int versionCode;            // 1000 reads "1.0.00"
    std::string_view system;    // "Win64" or "Linux"
    std::string_view buildDate; // as __DATE__ gives it
};

// "ver. 1.0.00 / Linux", a line break, and the build date.
std::string aboutVersionText(int versionCode, std::string_view system, std::string_view buildDate);

// Draws the ten lines onto `panel`, at their places on the 1024 x 362 panel.
void drawAboutText(Image& panel, const AboutCredits& credits);

} // namespace brimtone::editor
