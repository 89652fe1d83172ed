#pragma once

class QWidget;

namespace tarnwick {

// Fits the layout to Qt's default font (see fitLayout): each caption is
// measured by its widget's size hint, and every control of the window is
// placed where the fitted layout puts it. Returns the layout's growth factor
// (1 when it fits as drawn).
double fitCaptions(QWidget& window);

} // namespace tarnwick
