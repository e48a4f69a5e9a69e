// Telling a running helper that the preferences file changed: a build without the bus adapter
// cannot; the helper reads the file when it next starts.
#include "helper_notice.h"

namespace quillon {

bool tellHelperToReload() {
    return false;
}

}  // namespace quillon
