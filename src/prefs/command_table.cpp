// Action command codes: the one table that cleanup, the driver block and the editor read.
#include "prefs/command_table.h"

#include <algorithm>

namespace quillon {

namespace {

using K = SlotSource::Kind;
constexpr SlotSource zero{};
constexpr SlotSource key(std::string_view k) { return {K::Key, k, 0}; }
constexpr SlotSource constant(std::uint16_t v) { return {K::Constant, {}, v}; }

// One row per line reads as the table it is.
// clang-format off
constexpr CommandInfo kCommands[] = {
    {kCommandNone, "none", "empty", {}, {}, 0, false, zero, zero,
     "no action (invalid codes are reset to it)"},
    {kCommandPlain1, "plain1", "empty", {}, {}, 0, false, zero, zero,
     "action without parameters"},
    {kCommandGlobal, "global", "empty", {}, {}, 0, true, zero, zero,
     "same as the global settings"},
    {kCommandPlain3, "plain3", "empty", {}, {}, 0, false, zero, zero,
     "action without parameters"},
    {kCommandClick, "click", "click", {"button", "modifiers"}, {}, 0, false, key("button"),
     key("modifiers"), "mouse click"},
    {kCommandKey, "key", "key", {"keyCode", "modifiers"}, "keyCode", kNoKeyCode, false,
     key("keyCode"), key("modifiers"), "keystroke"},
    {kCommandMods, "mods", "mods", {"modifiers"}, {}, 0, false, constant(255), key("modifiers"),
     "modifier keys only"},
    {kCommandShortcut, "shortcut", "shortcut", {"shortcut"}, {}, 0, false, zero, zero,
     "shortcut"},
    {kCommandChar, "char", "char", {"char", "modifiers"}, {}, 0, false, zero, zero, "character"},
    {kCommandText, "text", "text", {"text"}, {}, 0, false, zero, zero, "typed text"},
    {kCommandMacro, "macro", "macro", {"macro"}, {}, 0, false, zero, zero, "macro"},
    {kCommandPlain13, "plain13", "empty", {}, {}, 0, false, zero, zero,
     "action without parameters"},
    {kCommandScroll, "scroll", "scroll", {"direction", "count"}, {}, 0, false, key("direction"),
     key("count"), "scrolling"},
    {kCommandPlain17, "plain17", "empty", {}, {}, 0, false, zero, zero,
     "action without parameters"},
    {kCommandPan, "pan", "pan", {"panAxes"}, {}, 0, false, key("panAxes"), zero, "panning"},
    {kCommandApp, "app", "app", {"app"}, {}, 0, false, zero, zero,
     "application, by bundle identifier"},
    {kCommandOpen, "open", "open", {"path"}, {}, 0, false, zero, zero,
     "open a file or folder"},
    {kCommandSpecial, "special", "special", {"item"}, {}, 0, false, zero, zero, "special item"},
    {kCommandUrl, "url", "url", {"url"}, {}, 0, false, zero, zero, "address (URL)"},
    {kCommandSwap, "swap", "swap", {"swapMode"}, {}, 0, false, key("swapMode"), zero, "swap"},
    {kCommandMotion, "motion", "motion", {"xyOptions", "permanent"}, {}, 0, false,
     key("permanent"), key("xyOptions"), "motion options"},
    {kCommandSystem, "system", "system", {"control"}, {}, 0, false, key("control"), zero,
     "system control"},
    {kCommandItunes, "itunes", "itunes", {"itunes"}, {}, 0, false, key("itunes"), zero,
     "player control"},
    {kCommandScript, "script", "script", {"script"}, {}, 0, false, zero, zero, "script"},
};
// clang-format on

constexpr bool ascending() {
    for (std::size_t i = 1; i < std::size(kCommands); ++i)
        if (kCommands[i - 1].code >= kCommands[i].code) return false;
    return kCommands[0].code == kLowestCommandCode &&
           kCommands[std::size(kCommands) - 1].code == kHighestCommandCode;
}
static_assert(ascending(), "commandInfo searches by halves");

}  // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* commandInfo(std::int64_t code) {
    const auto* end = std::end(kCommands);
    const auto* it =
        std::lower_bound(std::begin(kCommands), end, code,
                         [](const CommandInfo& row, std::int64_t c) { return row.code < c; });
    return it != end && it->code == code ? it : nullptr;
}

std::string_view commandTab(std::int64_t code) {
    const CommandInfo* info = commandInfo(code);
    return info ? info->tab : std::string_view("empty");
}

bool commandKeepsKey(std::int64_t code, std::string_view key) {
    const CommandInfo* info = commandInfo(code);
    if (!info || key.empty()) return false;
    return std::find(info->keptKeys.begin(), info->keptKeys.end(), key) != info->keptKeys.end();
}

}  // namespace quillon
