// The values the action editor offers for an action's parameters, with their titles: the command
// menu, click buttons, scroll directions, pan axes, swap modes, shortcuts, special items, system
// and player controls, the extra keys, and the test an address must pass to be stored.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

// One value of a parameter: what is stored, a short name for the helper's documentation and
// logs, and the English title the editor shows (a key of the strings table).
struct ActionChoice {
    std::int64_t value;
    std::string_view name;
    std::string_view title;
};

// One entry of the command menu: a command code, its title and the menu group it sits in.
struct CommandMenuItem {
    std::int64_t code;
    std::string_view title;
    std::string_view group;
};

// Every valid command code once, in menu order (grouped).
std::span<const CommandMenuItem> commandMenuItems();
// The menu entry of code, or nullptr for an invalid code.
const CommandMenuItem* commandMenuItem(std::int64_t code);

// `button` of a click (6): 0 main, 1 secondary, 2 middle, then the further buttons.
std::span<const ActionChoice> clickButtonChoices();
// `direction` of a scroll (16); values below 4 scroll by `count` lines per step.
std::span<const ActionChoice> scrollDirectionChoices();
// `panAxes` of a pan (18).
std::span<const ActionChoice> panAxesChoices();
// `swapMode` of a swap (23).
std::span<const ActionChoice> swapModeChoices();
// `permanent` of motion options (24).
std::span<const ActionChoice> motionDurationChoices();
// `shortcut` of a shortcut (9): desktop commands the helper sends as their usual keystrokes.
std::span<const ActionChoice> shortcutChoices();
// `item` of a special item (21): the user's folders and default applications.
std::span<const ActionChoice> specialItemChoices();
// `control` of a system control (26).
std::span<const ActionChoice> systemControlChoices();
// `itunes` of a player control (27).
std::span<const ActionChoice> playerControlChoices();
// Keys for a keystroke (7) that cannot be typed into the keystroke field; value = key code.
std::span<const ActionChoice> extraKeyChoices();

// The choice of list with value, or nullptr.
const ActionChoice* findChoice(std::span<const ActionChoice> list, std::int64_t value);

// Scroll lines per step (`count`) the editor offers; 0 leaves the amount to the helper.
inline constexpr std::int64_t kScrollCountMax = 100;

// True when text is an absolute address the helper can hand to the desktop: a scheme of at least
// two characters (letters, digits, '+', '-', '.'; a letter first), a colon and something after
// it, no white space or control characters, at most 8192 bytes. http and https also need
// "//" and a host; file needs "//". "C:\x", "example.com" and "https://" are no addresses.
bool isActionAddress(std::string_view text);

}  // namespace quillon
