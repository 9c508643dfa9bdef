#include "editor/editorlook.h"
#include "editor/quorelview.h"

#include <algorithm>

QFont EditorLook::font() const
{
    QFont font = CQuorelView::editorFont();
    if (!fontFamily.isEmpty()) {
        // The built-in list stays behind the choice: a Latin-only font still
        // finds its Hangul glyphs there.
        QStringList families = font.families();
        families.removeAll(fontFamily);
        families.prepend(fontFamily);
        font.setFamilies(families);
    }
    font.setPixelSize(std::clamp(fontPixels + zoom, kMinPixels, kMaxPixels));
    return font;
}

int EditorLook::zoomedBy(int steps) const
{
    return std::clamp(fontPixels + zoom + steps, kMinPixels, kMaxPixels) - fontPixels;
}
