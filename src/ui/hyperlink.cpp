// Link-styled button titles.
#include "ui/hyperlink.h"

namespace quillon {

AttributedString newHyperlink(const std::string& title, bool pressed) {
    AttributedString link;
    link.text = title;
    link.link = title;
    link.underlineStyle = 1;
    link.foregroundColor = pressed ? Color{1.0, 0.1, 0.1, 1.0} : Color{0.1, 0.1, 1.0, 1.0};
    link.alignment = TextAlignment::center;
    return link;
}

}  // namespace quillon
