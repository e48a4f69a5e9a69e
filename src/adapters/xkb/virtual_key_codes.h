// The original platform's virtual key codes against Linux evdev key codes (X key code = evdev + 8).
#pragma once

#include <cstdint>
#include <optional>

namespace quillon {

// The evdev key code of virtual key code keyCode; nothing for codes no Linux keyboard sends.
std::optional<std::uint16_t> evdevKeyCode(std::uint8_t keyCode);
// The virtual key code of evdev key code code; nothing for keys without one.
std::optional<std::uint8_t> virtualKeyCode(std::uint16_t evdevCode);

}  // namespace quillon
