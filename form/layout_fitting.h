#pragma once

#include "form/form_layout.h"

#include <array>
#include <cstddef>
#include <functional>

namespace tarnwick {

// A control's box in pixels, relative to its container, as the layout table
// places it at 96 dots per inch (15 twips a pixel, rounded to the nearest).
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; } // first pixel past the box
    int bottom() const { return top + height; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

int pixelsFromTwips(int twips);
PixelRect pixelRect(const ControlEntry& entry);

struct FittedLayout {
    double factor = 1.0; // how much the whole layout grew; 1 when it fits as drawn
    std::array<PixelRect, formLayout.size()> controls;
    int clientWidth = 0;
    int clientHeight = 0;
};

// The layout made to show every caption whole in the platform's font, which
// may be wider than the font it was drawn for. `neededWidth(row)` is the
// width in pixels the control needs for its caption (0: nothing to fit);
// `frameInset` the pixels a frame keeps between its right edge and its
// contents. A caption that does not fit first takes the free room to its
// right, up to its neighbour or its container's inner edge. Where even that
// is too narrow, the whole layout grows by the one factor that makes it fit,
// as classic dialogs scale with their font, so every control keeps its place
// relative to the others.
FittedLayout fitLayout(const std::function<int(std::size_t row)>& neededWidth, int frameInset);

} // namespace tarnwick
