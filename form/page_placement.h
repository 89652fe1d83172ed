#pragma once

#include <optional>

namespace tarnwick {

// Where the printed form goes on the paper. Every length is in pixels of a
// 96 dpi screen (15 twips a pixel); a binding converts the printer's
// printable area to them and the answer back to the printer's own units.
struct PrintableArea {
    double width = 0;
    double height = 0;
};

struct PagePlacement {
    double scale = 1; // never above 1: the form is never printed larger than on screen
    double left = 0;  // from the printable area's top-left corner
    double top = 0;
};

// The form at its on-screen size where that fits the printable area, else
// shrunk uniformly by as little as makes it fit, at the area's top left.
// A paper with no printable area has no placement.
std::optional<PagePlacement> placeOnPage(double formWidth, double formHeight, PrintableArea area);

// What Print Form reports when placeOnPage finds no place.
inline constexpr char noPrintableAreaReason[] = "the printer reports no printable area";

} // namespace tarnwick
