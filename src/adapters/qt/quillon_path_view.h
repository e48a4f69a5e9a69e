// The animated busy indicator of the pane's layout.
#pragma once

#include "adapters/qt/qt_busy_indicator.h"

namespace quillon {

using QuillonPathView = BusyIndicator;

}  // namespace quillon
