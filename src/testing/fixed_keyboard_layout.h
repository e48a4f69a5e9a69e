// A keyboard layout double: characters from a fixed table, and layouts that tests switch off.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "platform/keyboard_layout.h"

namespace quillon::testing {

// Characters by key code and modifier mask. A key set for mask 0 types that character with any
// modifiers unless set for those modifiers as well.
class FixedKeyLayout final : public KeyLayout {
public:
    FixedKeyLayout() = default;
    // A U.S. English layout: letters, digits, punctuation, keypad and special keys; Shift gives
    // upper-case letters.
    static std::shared_ptr<FixedKeyLayout> usEnglish();

    void set(std::uint8_t keyCode, char32_t character, std::uint16_t modifiers = 0);
    std::optional<char32_t> translate(std::uint8_t keyCode, std::uint16_t modifiers) const override;
    // How many keys were translated so far.
    int translations() const { return translations_; }

private:
    std::map<std::pair<std::uint8_t, std::uint16_t>, char32_t> characters_;
    mutable int translations_ = 0;
};

// Layouts as set by the test; both absent by default.
class FixedKeyboardLayouts final : public KeyboardLayouts {
public:
    explicit FixedKeyboardLayouts(std::shared_ptr<const KeyLayout> current = nullptr,
                                  std::shared_ptr<const KeyLayout> asciiCapable = nullptr)
        : current_(std::move(current)), asciiCapable_(std::move(asciiCapable)) {}

    std::shared_ptr<const KeyLayout> currentLayout() override { return current_; }
    std::shared_ptr<const KeyLayout> currentAsciiCapableLayout() override { return asciiCapable_; }

private:
    std::shared_ptr<const KeyLayout> current_;
    std::shared_ptr<const KeyLayout> asciiCapable_;
};

}  // namespace quillon::testing
