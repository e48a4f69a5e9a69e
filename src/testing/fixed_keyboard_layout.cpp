// A keyboard layout double: characters from a fixed table.
#include "testing/fixed_keyboard_layout.h"

#include <string_view>

namespace quillon::testing {

std::shared_ptr<FixedKeyLayout> FixedKeyLayout::usEnglish() {
    auto layout = std::make_shared<FixedKeyLayout>();
    // Key codes 0x00 to 0x32 in order; '\0' where a key types no printable character.
    using namespace std::literals;
    constexpr std::u32string_view main =
        U"asdfhgzxcv\u00A7bqweryt123465=97-80]ou[ip\0lj'k;\\,/nm.\0\0`"sv;
    for (std::size_t k = 0; k < main.size(); ++k) {
        const char32_t c = main[k];
        if (c == 0) continue;
        const auto keyCode = static_cast<std::uint8_t>(k);
        layout->set(keyCode, c);
        if (c >= U'a' && c <= U'z') layout->set(keyCode, c - 0x20, shiftKeyMask);
    }
    constexpr std::pair<std::uint8_t, char32_t> others[] = {
        {0x24, 0x0D}, {0x30, 0x09}, {0x31, 0x20}, {0x33, 0x08}, {0x35, 0x1B},
        // Keypad.
        {0x41, U'.'}, {0x43, U'*'}, {0x45, U'+'}, {0x47, 0x1B}, {0x4B, U'/'}, {0x4C, 0x03},
        {0x4E, U'-'}, {0x51, U'='}, {0x52, U'0'}, {0x53, U'1'}, {0x54, U'2'}, {0x55, U'3'},
        {0x56, U'4'}, {0x57, U'5'}, {0x58, U'6'}, {0x59, U'7'}, {0x5B, U'8'}, {0x5C, U'9'},
        // Function keys F1 to F20.
        {0x7A, 0x10}, {0x78, 0x10}, {0x63, 0x10}, {0x76, 0x10}, {0x60, 0x10}, {0x61, 0x10},
        {0x62, 0x10}, {0x64, 0x10}, {0x65, 0x10}, {0x6D, 0x10}, {0x67, 0x10}, {0x6F, 0x10},
        {0x69, 0x10}, {0x6B, 0x10}, {0x71, 0x10}, {0x6A, 0x10}, {0x40, 0x10}, {0x4F, 0x10},
        {0x50, 0x10}, {0x5A, 0x10},
        // Help, home, page up, forward delete, end, page down, arrows.
        {0x72, 0x05}, {0x73, 0x01}, {0x74, 0x0B}, {0x75, 0x7F}, {0x77, 0x04}, {0x79, 0x0C},
        {0x7B, 0x1C}, {0x7C, 0x1D}, {0x7D, 0x1F}, {0x7E, 0x1E},
    };
    for (const auto& [keyCode, c] : others) layout->set(keyCode, c);
    return layout;
}

void FixedKeyLayout::set(std::uint8_t keyCode, char32_t character, std::uint16_t modifiers) {
    characters_[{keyCode, modifiers}] = character;
}

std::optional<char32_t> FixedKeyLayout::translate(std::uint8_t keyCode,
                                                  std::uint16_t modifiers) const {
    ++translations_;
    auto found = characters_.find({keyCode, modifiers});
    if (found == characters_.end()) found = characters_.find({keyCode, std::uint16_t{0}});
    if (found == characters_.end()) return std::nullopt;
    return found->second;
}

}  // namespace quillon::testing
