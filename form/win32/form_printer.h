#pragma once

namespace tarnwick {

class frmTarnwick2;

// Prints the window's picture on the default printer, with no dialog: drawn
// afresh from the layout at the printer's resolution, so that captions and
// amounts are text and frames and buttons are lines. The window keeps its
// size on paper (15 twips a pixel) at the printable area's top left.
// Returns once the job is handed over; throws RunTimeError when it is not.
void printWindowImage(const frmTarnwick2& window);

} // namespace tarnwick
