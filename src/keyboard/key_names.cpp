// Key and modifier names: the process-wide naming state and the texts built from it.
#include "keyboard/key_names.h"

#include <algorithm>
#include <utility>

#include "keyboard/mac_roman.h"
#include "plist/bundle.h"

namespace quillon {
namespace {

struct NamingState {
    std::shared_ptr<const Bundle> bundle;
    std::optional<std::string> table;
    std::array<std::uint8_t, 128> keyChars{};
};

NamingState& namingState() {
    static NamingState state;
    return state;
}

bool isKeypadKey(std::uint8_t keyCode) {
    return keyCode >= keypadFirstKeyCode && keyCode <= keypadLastKeyCode;
}

}  // namespace

void initKeystrokeNames(std::shared_ptr<const Bundle> bundle, std::string_view table,
                        KeyboardLayouts& layouts) {
    NamingState& state = namingState();
    state.bundle = std::move(bundle);
    state.table = std::string(table);

    std::shared_ptr<const KeyLayout> layout;
    if (copyCurrentKeyLayout(layouts, &layout) != keyLayoutFound) return;
    std::uint32_t deadKeyState = 0;
    // Entry 127 stays 0: no key of the original platform's keyboards has that code.
    for (std::uint8_t k = 0; k < 127; ++k)
        state.keyChars[k] = keyCodeToChar(k, commandKeyMask, layout.get(), &deadKeyState);
}

void resetKeystrokeNames() { namingState() = NamingState{}; }

const std::array<std::uint8_t, 128>& keyCharTable() { return namingState().keyChars; }

std::string localizedKeyName(std::string_view key) {
    const NamingState& state = namingState();
    if (!state.bundle || !state.table) return std::string(key);
    return state.bundle->localizedString(key, *state.table);
}

int copyCurrentKeyLayout(KeyboardLayouts& layouts, std::shared_ptr<const KeyLayout>* layout) {
    if (!layout) return keyLayoutNoOutput;
    layout->reset();
    std::shared_ptr<const KeyLayout> found = layouts.currentLayout();
    if (!found) found = layouts.currentAsciiCapableLayout();
    if (!found) return keyLayoutNotFound;
    *layout = std::move(found);
    return keyLayoutFound;
}

std::uint8_t keyCodeToChar(std::uint8_t keyCode, std::uint16_t modifiers, const KeyLayout* layout,
                           std::uint32_t* /*deadKeyState*/) {
    if (!layout) return 0;
    const std::optional<char32_t> character = layout->translate(keyCode, modifiers & 0xFF00);
    if (!character || *character == 0) return 0;
    return macRomanFromUnicode(*character);
}

std::string keyCodeString(std::uint8_t keyCode, bool upperCase) {
    for (const FixedKeyName& fixed : fixedKeyNames)
        if (fixed.keyCode == keyCode) return localizedKeyName(fixed.name);

    std::uint8_t c = namingState().keyChars[keyCode & 0x7F];
    if (c > 0x20 && c != 0x7F) {
        if (upperCase && c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 0x20);
        return utf8FromMacRoman(c);
    }
    if (keyCode == noKeyCode) return {};
    if (c == escapeChar)
        return localizedKeyName(
            specialKeyNames[keyCode == escapeKeyCode ? escapeNameIndex : clearNameIndex]);
    if (c == functionKeyChar) {
        const auto found = std::find(functionKeyCodes.begin(), functionKeyCodes.end(), keyCode);
        std::string name = localizedKeyName(specialKeyNames[functionKeyNameIndex]);
        if (found != functionKeyCodes.end())
            name += std::to_string(found - functionKeyCodes.begin() + 1);
        return name;
    }
    const auto special = std::find(specialKeyChars.begin(), specialKeyChars.end(), c);
    if (special == specialKeyChars.end()) return localizedKeyName(unknownKeyName);
    const auto position = static_cast<std::size_t>(special - specialKeyChars.begin());
    return localizedKeyName(specialKeyNames[position]);
}

std::string modifierString(std::uint8_t keyCode, std::uint16_t modifiers,
                           std::optional<std::string_view> separator) {
    std::string text;
    const auto add = [&](std::string_view name) {
        if (!text.empty() && separator) text += *separator;
        text += localizedKeyName(name);
    };
    for (const ModifierName& modifier : modifierNames)
        if (modifiers & modifier.mask) add(modifier.name);
    if (isKeypadKey(keyCode)) add(keypadName);
    return text;
}

std::string keystrokeStringWithSeparators(std::uint8_t keyCode, std::uint16_t modifiers,
                                          std::optional<std::string_view> modifierSeparator,
                                          std::optional<std::string_view> keySeparator,
                                          bool upperCase) {
    if (keyCode == noKeyCode && modifiers == 0) return localizedKeyName(noKeystrokeName);
    std::optional<std::string> modifierText;
    if (modifiers != 0 || isKeypadKey(keyCode))
        modifierText = modifierString(keyCode, modifiers, modifierSeparator);
    std::optional<std::string> keyText;
    if (keyCode != noKeyCode) keyText = keyCodeString(keyCode, upperCase);

    std::string text = modifierText.value_or(std::string());
    if (keySeparator && modifierText && keyText && !modifierText->empty() && !keyText->empty())
        text += *keySeparator;
    if (keyText) text += *keyText;
    return text;
}

std::string keystrokeString(std::uint8_t keyCode, std::uint16_t modifiers) {
    return keystrokeStringWithSeparators(keyCode, modifiers, keystrokeSeparator,
                                         keystrokeSeparator, false);
}

}  // namespace quillon
