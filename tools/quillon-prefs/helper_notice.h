// Telling a running helper that the preferences file changed.
#pragma once

namespace quillon {

// Sends the helper the updatePrefs request when it is on the session bus; false when there is
// no bus or no helper on it (it reads the file when it starts).
bool tellHelperToReload();

}  // namespace quillon
