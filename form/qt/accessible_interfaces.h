#pragma once

namespace tarnwick {

// Gives screen readers what Qt's own accessible interfaces do not: the
// announcer's notification, and amount labels named by their own text alone
// (Qt would name an empty one after its caption label, which a reader would
// then read twice). Installs once; call before the first of these objects is
// made, since Qt keeps the interface it makes first.
void installAccessibleInterfaces();

} // namespace tarnwick
