// Link-styled button titles for the pane's info buttons.
#pragma once

#include <string>

#include "platform/attributed_string.h"

namespace quillon {

// title as its own link, underlined and centred: blue normally, red while pressed.
AttributedString newHyperlink(const std::string& title, bool pressed);

}  // namespace quillon
