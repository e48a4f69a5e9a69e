// The action editor's value lists: one table per parameter, read by the editor's layout, the
// tests and the helper's documentation alike.
#include "prefs/action_choices.h"

#include <algorithm>

#include "prefs/command_table.h"

namespace quillon {

namespace {

// clang-format off
constexpr CommandMenuItem kCommandMenu[] = {
    {kCommandGlobal, "Same as the Global Settings", "General"},
    {kCommandPlain1, "Default Button Function", "General"},
    {kCommandNone, "No Action", "General"},
    {kCommandClick, "Click", "Clicks and Keys"},
    {kCommandPlain3, "Double Click", "Clicks and Keys"},
    {kCommandPlain13, "Drag Lock", "Clicks and Keys"},
    {kCommandKey, "Keystroke", "Clicks and Keys"},
    {kCommandMods, "Modifier Keys", "Clicks and Keys"},
    {kCommandShortcut, "Shortcut", "Clicks and Keys"},
    {kCommandChar, "Character", "Text"},
    {kCommandText, "Text", "Text"},
    {kCommandMacro, "Macro", "Text"},
    {kCommandScroll, "Scroll", "Scrolling and Motion"},
    {kCommandPlain17, "Auto Scroll", "Scrolling and Motion"},
    {kCommandPan, "Pan", "Scrolling and Motion"},
    {kCommandSwap, "Swap", "Scrolling and Motion"},
    {kCommandMotion, "Motion Options", "Scrolling and Motion"},
    {kCommandApp, "Open Application", "Applications and Items"},
    {kCommandOpen, "Open File or Folder", "Applications and Items"},
    {kCommandSpecial, "Open Special Item", "Applications and Items"},
    {kCommandUrl, "Open Address", "Applications and Items"},
    {kCommandScript, "Run Script", "Applications and Items"},
    {kCommandSystem, "System Control", "System and Player Controls"},
    {kCommandItunes, "Media Player Control", "System and Player Controls"},
};

constexpr ActionChoice kClickButtons[] = {
    {0, "main", "Main Button"},
    {1, "secondary", "Secondary Button"},
    {2, "middle", "Middle Button"},
    {3, "button4", "Button 4"},
    {4, "button5", "Button 5"},
    {5, "button6", "Button 6"},
    {6, "button7", "Button 7"},
    {7, "button8", "Button 8"},
};

constexpr ActionChoice kScrollDirections[] = {
    {0, "up", "Scroll Up"},
    {1, "down", "Scroll Down"},
    {2, "left", "Scroll Left"},
    {3, "right", "Scroll Right"},
    {4, "page-up", "Page Up"},
    {5, "page-down", "Page Down"},
    {6, "top", "To the Top"},
    {7, "bottom", "To the Bottom"},
};

constexpr ActionChoice kPanAxes[] = {
    {0, "both", "Both Directions"},
    {1, "horizontal", "Horizontal Only"},
    {2, "vertical", "Vertical Only"},
};

constexpr ActionChoice kSwapModes[] = {
    {0, "buttons", "Swap Main and Secondary Button"},
    {1, "scroll-axes", "Swap Vertical and Horizontal Scrolling"},
    {2, "scroll-direction", "Reverse the Scroll Direction"},
    {3, "pointer-axes", "Swap the Pointer's Axes"},
};

constexpr ActionChoice kMotionDurations[] = {
    {0, "while-held", "While the Button Is Held"},
    {1, "until-pressed-again", "Until the Button Is Pressed Again"},
};

constexpr ActionChoice kShortcuts[] = {
    {0, "copy", "Copy"},
    {1, "cut", "Cut"},
    {2, "paste", "Paste"},
    {3, "undo", "Undo"},
    {4, "redo", "Redo"},
    {5, "select-all", "Select All"},
    {6, "find", "Find"},
    {7, "save", "Save"},
    {8, "print", "Print"},
    {9, "new-tab", "New Tab"},
    {10, "close-tab", "Close Tab"},
    {11, "back", "Back"},
    {12, "forward", "Forward"},
    {13, "reload", "Reload"},
    {14, "zoom-in", "Zoom In"},
    {15, "zoom-out", "Zoom Out"},
    {16, "close-window", "Close Window"},
    {17, "switch-application", "Switch Application"},
    {18, "full-screen", "Full Screen"},
};

constexpr ActionChoice kSpecialItems[] = {
    {0, "home", "Home Folder"},
    {1, "desktop", "Desktop Folder"},
    {2, "documents", "Documents Folder"},
    {3, "downloads", "Downloads Folder"},
    {4, "music", "Music Folder"},
    {5, "pictures", "Pictures Folder"},
    {6, "videos", "Videos Folder"},
    {7, "trash", "Trash"},
    {8, "file-manager", "File Manager"},
    {9, "web-browser", "Web Browser"},
    {10, "mail", "Mail"},
    {11, "terminal", "Terminal"},
    {12, "calculator", "Calculator"},
    {13, "system-settings", "System Settings"},
};

constexpr ActionChoice kSystemControls[] = {
    {0, "show-desktop", "Show Desktop"},
    {1, "overview", "Show All Windows"},
    {2, "launcher", "Show Applications"},
    {3, "workspace-previous", "Previous Workspace"},
    {4, "workspace-next", "Next Workspace"},
    {5, "lock-screen", "Lock Screen"},
    {6, "screenshot", "Take a Screenshot"},
    {7, "volume-up", "Volume Up"},
    {8, "volume-down", "Volume Down"},
    {9, "mute", "Mute"},
    {10, "microphone-mute", "Mute the Microphone"},
    {11, "brightness-up", "Brightness Up"},
    {12, "brightness-down", "Brightness Down"},
    {13, "suspend", "Suspend"},
};

constexpr ActionChoice kPlayerControls[] = {
    {0, "play-pause", "Play/Pause"},
    {1, "next", "Next Track"},
    {2, "previous", "Previous Track"},
    {3, "stop", "Stop"},
};

// Key names as the keystroke text shows them; the codes are the records' virtual key codes.
constexpr ActionChoice kExtraKeys[] = {
    {0x37, "command", "Command"},
    {0x38, "shift", "Shift"},
    {0x39, "caps-lock", "Caps Lock"},
    {0x3A, "option", "Option"},
    {0x3B, "control", "Control"},
    {0x6E, "application", "application"},
    {0x69, "f13", "F13"},
    {0x6B, "f14", "F14"},
    {0x71, "f15", "F15"},
    {0x6A, "f16", "F16"},
    {0x40, "f17", "F17"},
    {0x4F, "f18", "F18"},
    {0x50, "f19", "F19"},
    {0x5A, "f20", "F20"},
    {0x72, "help", "help"},
    {0x75, "forward-delete", "forward delete"},
    {0x47, "keypad-clear", "clear"},
    {0x4C, "keypad-enter", "enter"},
    {0x7B, "left", "left"},
    {0x7C, "right", "right"},
    {0x7E, "up", "up"},
    {0x7D, "down", "down"},
    {0x73, "home", "home"},
    {0x77, "end", "end"},
    {0x74, "page-up", "page up"},
    {0x79, "page-down", "page down"},
    {0x35, "escape", "esc"},
    {0x30, "tab", "tab"},
    {0x24, "return", "return"},
    {0x33, "delete", "delete"},
    {0x31, "space", "space"},
};
// clang-format on

constexpr std::size_t kMaxAddressBytes = 8192;

constexpr bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

std::span<const CommandMenuItem> commandMenuItems() {
    return kCommandMenu;
}

const CommandMenuItem* commandMenuItem(std::int64_t code) {
    for (const auto& item : kCommandMenu)
        if (item.code == code) return &item;
    return nullptr;
}

std::span<const ActionChoice> clickButtonChoices() {
    return kClickButtons;
}
std::span<const ActionChoice> scrollDirectionChoices() {
    return kScrollDirections;
}
std::span<const ActionChoice> panAxesChoices() {
    return kPanAxes;
}
std::span<const ActionChoice> swapModeChoices() {
    return kSwapModes;
}
std::span<const ActionChoice> motionDurationChoices() {
    return kMotionDurations;
}
std::span<const ActionChoice> shortcutChoices() {
    return kShortcuts;
}
std::span<const ActionChoice> specialItemChoices() {
    return kSpecialItems;
}
std::span<const ActionChoice> systemControlChoices() {
    return kSystemControls;
}
std::span<const ActionChoice> playerControlChoices() {
    return kPlayerControls;
}
std::span<const ActionChoice> extraKeyChoices() {
    return kExtraKeys;
}

const ActionChoice* findChoice(std::span<const ActionChoice> list, std::int64_t value) {
    for (const auto& choice : list)
        if (choice.value == value) return &choice;
    return nullptr;
}

bool isActionAddress(std::string_view text) {
    if (text.size() > kMaxAddressBytes) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    const auto colon = text.find(':');
    // One letter before the colon is a drive ("C:\x"), not a scheme.
    if (colon == std::string_view::npos || colon < 2 || !isAsciiLetter(text[0])) return false;
    const std::string_view scheme = text.substr(0, colon);
    for (char c : scheme)
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') return false;
    const std::string_view rest = text.substr(colon + 1);
    if (rest.empty()) return false;
    if (equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https"))
        return rest.size() > 2 && rest.substr(0, 2) == "//" && rest[2] != '/';
    if (equalsIgnoringCase(scheme, "file")) return rest.substr(0, 2) == "//";
    return true;
}

}  // namespace quillon
