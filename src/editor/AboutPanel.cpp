#include "editor/AboutPanel.h"

#include "editor/Text.h"

#include <cstdio>

namespace brimtone::editor {
namespace {

constexpr Rgb titleBlue = 0x72B2ED;
constexpr Rgb grey = 0xA4A4A4;
constexpr Rgb lightGrey = 0xD4D4D4;

struct Line {
    Rect box;
    const FontAtlas& font;
    Rgb colour;
    bool wordBreak;
};

} // namespace

std::string aboutVersionText(int versionCode, std::string_view system, std::string_view buildDate)
{
    char text[256];
    std::snprintf(text, sizeof text, "ver. %d.%d.%02d / %.*s\n\r%.*s", versionCode / 1000, versionCode / 100 % 10,
                  versionCode % 100, static_cast<int>(system.size()), system.data(), static_cast<int>(buildDate.size()),
                  buildDate.data());
    return text;
}

void drawAboutText(Image& panel, const AboutCredits& credits)
{
    if (panel.empty())
        return;
    const std::string version = aboutVersionText(credits.versionCode, credits.system, credits.buildDate);
    // The narrow box beside the version shows the site without its scheme.
    std::string_view site = credits.siteAddress;
    if (const std::size_t scheme = site.find("://"); scheme != std::string_view::npos)
        site.remove_prefix(scheme + 3);
    const std::string addresses = std::string(site) + "\n" + std::string(credits.mailAddress);
    // Rectangles are left, top, right, bottom in panel pixels; the second line
    // of each credit pair starts 16 pixels below the first, inside its box.
    const struct {
        Line line;
        std::string_view text;
    } lines[] = {
        {{{378, 90, 697, 117}, boldSans20, titleBlue, true}, credits.product},
        {{{378, 117, 697, 153}, boldSans12, grey, true}, "virtual-analog guitar amp"},
        {{{378, 153, 697, 173}, boldSans12, lightGrey, true}, "an open amplifier simulator"},
        {{{378, 169, 697, 189}, boldSans12, grey, true}, credits.siteAddress},
        {{{194, 97, 378, 138}, boldSans12, grey, true}, "DSP & UI programming by"},
        {{{194, 113, 378, 138}, boldSans12, lightGrey, true}, "the Brimtone developers"},
        {{{194, 138, 378, 174}, boldSans12, grey, true}, "VST Plug-In Technology by"},
        {{{194, 154, 378, 174}, boldSans12, lightGrey, true}, "Steinberg"},
        {{{697, 97, 844, 138}, boldSans12, grey, false}, version},
        // Reaches to the display's edge (860, not 844): an address at the
        // project's site is wider than the version's box.
        {{{697, 138, 860, 174}, boldSans12, lightGrey, true}, addresses},
    };
    const Canvas canvas = Canvas::of(panel);
    for (const auto& [line, text] : lines)
        drawTextBlock(canvas, line.font, line.box, text, line.colour, line.wordBreak);
}

} // namespace brimtone::editor
