#pragma once

class QWidget;

namespace tarnwick {

// Makes every caption of the window fully readable in the platform's default
// font, which may be wider than the font the layout was drawn for. A caption
// that does not fit its box first takes the free space to its right, up to its
// neighbour or its container's edge. Where even that is too narrow, the whole
// layout grows by the one factor that makes it fit, as classic dialogs scale
// with their font, so every control keeps its place relative to the others.
// Returns that factor (1 when the layout fits as drawn).
double fitCaptions(QWidget& window);

} // namespace tarnwick
