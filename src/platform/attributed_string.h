// A title with text attributes, as the pane hands it to buttons (link titles of the info buttons).
#pragma once

#include <optional>
#include <string>

namespace quillon {

struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;
    bool operator==(const Color&) const = default;
};

enum class TextAlignment { left = 0, right = 1, center = 2 };

// Attributes that hold over the whole text; the font is always the system font at its usual size.
struct AttributedString {
    std::string text;
    std::optional<std::string> link;  // the link target, when the text is a link
    int underlineStyle = 0;           // 0 none, 1 single
    std::optional<Color> foregroundColor;
    TextAlignment alignment = TextAlignment::left;
    bool operator==(const AttributedString&) const = default;
};

}  // namespace quillon
