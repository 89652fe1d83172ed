#pragma once

class QWidget;

namespace tarnwick {

// Prints an image of the window, as it shows on the screen, on the default
// printer with no dialog. Throws a RunTimeError when there is no default
// printer or the platform cannot print.
void printWindowImage(QWidget& window);

} // namespace tarnwick
