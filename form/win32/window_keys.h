#pragma once

#include <windows.h>

namespace tarnwick {

class frmTarnwick2;

// The keys the window treats its own way, before the dialog manager sees
// them: Tab by the layout's tab positions (the dialog manager would go by
// stacking order), and access keys, including those two controls share.
// True when the message is done with.
bool translateWindowKey(frmTarnwick2& form, const MSG& message);

// One message of the window's thread, as the program's loop handles it:
// the window's own keys, then the dialog manager's, then the control's.
void handleMessage(frmTarnwick2& form, MSG& message);

// The program's message loop, until the window ends; returns the exit status.
int runMessageLoop(frmTarnwick2& form);

} // namespace tarnwick
