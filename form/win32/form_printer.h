#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tarnwick {

class frmTarnwick2;

// Prints the window's picture on the default printer, on its default paper,
// with no dialog: drawn afresh from the layout at the printer's resolution, so
// that captions and amounts are text and frames and buttons are lines. The
// window keeps its size on paper (15 twips a pixel) where the printable area
// holds it, and is shrunk uniformly to fit where not (a receipt roll), at the
// printable area's top left. A printer that reports no printable area fails.
// Returns once the job is handed over, or at once, having printed nothing,
// when the user cancelled it in the printer's own box (a printer that asks
// for a file asks inside StartDoc): that is the user's choice, not a
// failure. Throws RunTimeError when it is not handed over otherwise.
void printWindowImage(const frmTarnwick2& window);

// Why Print Form stops when StartDoc refuses the job with `error`: nothing
// (nullopt) when the user cancelled it in the printer's own box, else the
// reason its box gives.
std::optional<std::string> refusedJobReason(DWORD error);

// The reason a failed step gives: what failed, then Windows' own message for
// `error` ("the printer could not be opened: Access is denied.").
std::string printFailureReason(const char* what, DWORD error);

} // namespace tarnwick
