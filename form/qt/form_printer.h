#pragma once

class QWidget;

namespace tarnwick {

// Prints the window as it shows on the screen, at its size on a 96 dpi screen
// but drawn at the printer's resolution, on the default printer with no
// dialog. Throws a RunTimeError when there is no default printer, the platform
// cannot print, or the print module cannot be loaded.
void printWindowImage(QWidget& window);

} // namespace tarnwick

// Linked into the program, Qt PrintSupport would cost every start time and
// memory that most runs never use; so the printing itself lives in a module of
// its own, tarnwick_printer, which printWindowImage loads on the first print.
// The module's one entry point returns null once the job is handed to the
// printer, or else the reason it failed.
extern "C" {
using TarnwickPrintWindowImage = const char* (*)(QWidget* window);
}
inline constexpr char tarnwickPrintWindowImageEntry[] = "tarnwick_print_window_image";
