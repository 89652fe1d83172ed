#pragma once

class QWidget;

namespace tarnwick {

// Gives `window` the desktop's palette in a form it can be read in, now and
// whenever the desktop's palette or the style changes.
//
// Light palettes, and palettes under any style but Fusion, reach the window
// as they are: it then has no palette of its own. A dark palette under Fusion
// leaves an unselected option's circle and a button's edge almost the colour
// of the window behind them, for Fusion rings both with a shade of the
// window's own colour, which in the dark is barely darker than the window
// (in Qt 6.4 and 6.8 alike). What can stand out is what they are filled with,
// so Base (the circle) and Button (the button's face) are made lighter, in
// their own hues, until they stand out from Window by 2 to 1, and the text
// drawn on them (Text for the selected option's dot, ButtonText for the
// captions) lighter still. Fusion draws a frame's outline from a picture of
// its own, which no palette reaches.
void followLegiblePalette(QWidget& window);

} // namespace tarnwick
