// Keyboard layout services: which character a key types under the user's current keyboard layout.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace quillon {

// Key codes are the original platform's virtual key codes (0x00 is the A key, 0x24 Return, 0x35
// Escape, 0x7A F1); modifier masks use the keystroke bits below. Records, messages and the helper
// use the same numbering, so it never depends on the machine's own key codes.
inline constexpr std::uint8_t noKeyCode = 0xFF;

inline constexpr std::uint16_t commandKeyMask = 0x0100;
inline constexpr std::uint16_t shiftKeyMask = 0x0200;
inline constexpr std::uint16_t capsLockKeyMask = 0x0400;
inline constexpr std::uint16_t optionKeyMask = 0x0800;
inline constexpr std::uint16_t controlKeyMask = 0x1000;

// The key-layout data of one keyboard layout.
class KeyLayout {
public:
  virtual ~KeyLayout() = default;
  // The one character that key keyCode types with the modifier keys of mask modifiers held (only
  // the five keystroke bits count), without starting a dead-key composition: a dead key gives its
  // spacing character. Special keys give the control characters of the original platform's
  // layouts (arrows 0x1C to 0x1F, home 0x01, keypad enter 0x03, end 0x04, help 0x05, delete 0x08,
  // tab 0x09, page up 0x0B, page down 0x0C, return 0x0D, escape and keypad clear 0x1B, function
  // keys 0x10, forward delete 0x7F). Nothing when the key types no single character.
  virtual std::optional<char32_t> translate(std::uint8_t keyCode,
                                            std::uint16_t modifiers) const = 0;
};

class KeyboardLayouts {
public:
  virtual ~KeyboardLayouts() = default;
  // The user's current keyboard layout; nullptr when there is none.
  virtual std::shared_ptr<const KeyLayout> currentLayout() = 0;
  // A layout that types ASCII letters, asked for when there is no current layout; nullptr when
  // there is none either.
  virtual std::shared_ptr<const KeyLayout> currentAsciiCapableLayout() = 0;
};

}  // namespace quillon
