#include "form/layout_fitting.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

constexpr int neighbourGap = 4; // pixels kept clear between a widened caption and its neighbour

int scaled(int pixels, double factor)
{
    return static_cast<int>(std::lround(pixels * factor));
}

PixelRect scaled(const PixelRect& rect, double factor)
{
    return {
        scaled(rect.left, factor), scaled(rect.top, factor), scaled(rect.width, factor), scaled(rect.height, factor)};
}

// How far the control may reach to the right: up to the nearest control of
// its container level with it, or to the container's inner edge.
int rightLimit(std::size_t row, const FittedLayout& layout, int frameInset)
{
    const ControlEntry& entry = formLayout[row];
    const std::optional<std::size_t> container = rowNamed(entry.container);
    int limit = container ? layout.controls[*container].width - frameInset : layout.clientWidth;
    const PixelRect& own = layout.controls[row];
    for (std::size_t other = 0; other < formLayout.size(); ++other) {
        if (other == row || formLayout[other].container != entry.container)
            continue;
        const PixelRect& box = layout.controls[other];
        const bool level = box.top < own.bottom() - 1 && own.top < box.bottom() - 1;
        if (level && box.left >= own.right() - 1)
            limit = std::min(limit, box.left - neighbourGap);
    }
    return limit;
}

} // namespace

int pixelsFromTwips(int twips)
{
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}

PixelRect pixelRect(const ControlEntry& entry)
{
    return {pixelsFromTwips(entry.left), pixelsFromTwips(entry.top), pixelsFromTwips(entry.width),
        pixelsFromTwips(entry.height)};
}

FittedLayout fitLayout(const std::function<int(std::size_t row)>& neededWidth, int frameInset)
{
    FittedLayout layout;
    for (std::size_t row = 0; row < formLayout.size(); ++row)
        layout.controls[row] = pixelRect(formLayout[row]);
    layout.clientWidth = pixelsFromTwips(windowEntry.clientWidth);
    layout.clientHeight = pixelsFromTwips(windowEntry.clientHeight);

    std::array<int, formLayout.size()> needed{};
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        needed[row] = neededWidth(row);
        const int room = rightLimit(row, layout, frameInset) - layout.controls[row].left;
        if (needed[row] > 0 && room > 0)
            layout.factor = std::max(layout.factor, needed[row] / static_cast<double>(room));
    }

    if (layout.factor > 1.0) {
        for (PixelRect& rect : layout.controls)
            rect = scaled(rect, layout.factor);
        layout.clientWidth = scaled(layout.clientWidth, layout.factor);
        layout.clientHeight = scaled(layout.clientHeight, layout.factor);
    }

    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        PixelRect& rect = layout.controls[row];
        if (needed[row] > rect.width)
            rect.width = std::min(needed[row], rightLimit(row, layout, frameInset) - rect.left);
    }
    return layout;
}

} // namespace tarnwick
