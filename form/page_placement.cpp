#include "form/page_placement.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

bool positive(double length)
{
    return std::isfinite(length) && length > 0;
}

} // namespace

std::optional<PagePlacement> placeOnPage(double formWidth, double formHeight, PrintableArea area)
{
    if (!positive(area.width) || !positive(area.height) || !positive(formWidth) || !positive(formHeight))
        return std::nullopt;
    const double scale = std::min({1.0, area.width / formWidth, area.height / formHeight});
    return PagePlacement{scale, 0, 0};
}

} // namespace tarnwick
