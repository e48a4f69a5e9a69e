// Keyboard layouts through xkbcommon: the keymap is chosen once, and each key is translated with a
// fresh state that holds only the modifiers asked about (and Num Lock, so the keypad types digits
// as the original platform's keypads always do).
#include "adapters/xkb/xkb_keyboard_layouts.h"

#include <linux/input-event-codes.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>

#include "adapters/xkb/virtual_key_codes.h"

namespace quillon {
namespace {

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateFree {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ConnectionFree {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Context = std::unique_ptr<xkb_context, ContextFree>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapFree>;
using State = std::unique_ptr<xkb_state, StateFree>;
using Connection = std::unique_ptr<xcb_connection_t, ConnectionFree>;

// The spacing character of each dead key: what the original platform's layouts type for a dead
// key when no composition is started.
struct DeadKey {
    xkb_keysym_t keysym;
    char32_t spacing;
};
constexpr DeadKey deadKeys[] = {
    {XKB_KEY_dead_grave, U'`'},         {XKB_KEY_dead_acute, U'\u00B4'},
    {XKB_KEY_dead_circumflex, U'^'},    {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_macron, U'\u00AF'},   {XKB_KEY_dead_breve, U'\u02D8'},
    {XKB_KEY_dead_abovedot, U'\u02D9'}, {XKB_KEY_dead_diaeresis, U'\u00A8'},
    {XKB_KEY_dead_abovering, U'\u02DA'}, {XKB_KEY_dead_doubleacute, U'\u02DD'},
    {XKB_KEY_dead_caron, U'\u02C7'},    {XKB_KEY_dead_cedilla, U'\u00B8'},
    {XKB_KEY_dead_ogonek, U'\u02DB'},   {XKB_KEY_dead_iota, U'\u037A'},
    {XKB_KEY_dead_voiced_sound, U'\u309B'}, {XKB_KEY_dead_semivoiced_sound, U'\u309C'},
};

// The control character the original platform's layouts give for a special key, if sym is one.
std::optional<char32_t> specialCharacter(xkb_keysym_t sym) {
    if ((sym >= XKB_KEY_F1 && sym <= XKB_KEY_F35) || (sym >= XKB_KEY_KP_F1 && sym <= XKB_KEY_KP_F4))
        return 0x10;
    switch (sym) {
    case XKB_KEY_Left: case XKB_KEY_KP_Left: return 0x1C;
    case XKB_KEY_Right: case XKB_KEY_KP_Right: return 0x1D;
    case XKB_KEY_Up: case XKB_KEY_KP_Up: return 0x1E;
    case XKB_KEY_Down: case XKB_KEY_KP_Down: return 0x1F;
    case XKB_KEY_Home: case XKB_KEY_KP_Home: return 0x01;
    case XKB_KEY_KP_Enter: return 0x03;
    case XKB_KEY_End: case XKB_KEY_KP_End: return 0x04;
    case XKB_KEY_Help: case XKB_KEY_Insert: case XKB_KEY_KP_Insert: return 0x05;
    case XKB_KEY_BackSpace: return 0x08;
    case XKB_KEY_Tab: case XKB_KEY_ISO_Left_Tab: case XKB_KEY_KP_Tab: return 0x09;
    case XKB_KEY_Prior: case XKB_KEY_KP_Prior: return 0x0B;
    case XKB_KEY_Next: case XKB_KEY_KP_Next: return 0x0C;
    case XKB_KEY_Return: return 0x0D;
    // Num Lock sits where the original platform's keypads have Clear.
    case XKB_KEY_Escape: case XKB_KEY_Clear: case XKB_KEY_Num_Lock: return 0x1B;
    case XKB_KEY_space: case XKB_KEY_KP_Space: return 0x20;
    case XKB_KEY_Delete: case XKB_KEY_KP_Delete: return 0x7F;
    default: return std::nullopt;
    }
}

std::optional<char32_t> characterOfKeysym(xkb_keysym_t sym) {
    if (const auto special = specialCharacter(sym)) return special;
    for (const DeadKey& dead : deadKeys)
        if (dead.keysym == sym) return dead.spacing;
    const char32_t character = xkb_keysym_to_utf32(sym);
    // Other control characters (line feed, ...) come from no key of the original platform.
    if (character < 0x20 || character == 0x7F) return std::nullopt;
    return character;
}

bool isFunctionKey(std::uint16_t evdev) {
    return (evdev >= KEY_F1 && evdev <= KEY_F10) || evdev == KEY_F11 || evdev == KEY_F12 ||
           (evdev >= KEY_F13 && evdev <= KEY_F24);
}

xkb_mod_mask_t modMask(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    return index == XKB_MOD_INVALID || index >= 32 ? 0 : xkb_mod_mask_t{1} << index;
}

class XkbKeyLayout final : public KeyLayout {
public:
    XkbKeyLayout(xkb_keymap* keymap, xkb_layout_index_t group)
        : keymap_(xkb_keymap_ref(keymap)),
          group_(group),
          command_(modMask(keymap, XKB_MOD_NAME_LOGO)),
          shift_(modMask(keymap, XKB_MOD_NAME_SHIFT)),
          capsLock_(modMask(keymap, XKB_MOD_NAME_CAPS)),
          option_(modMask(keymap, XKB_MOD_NAME_ALT)),
          control_(modMask(keymap, XKB_MOD_NAME_CTRL)),
          numLock_(modMask(keymap, XKB_MOD_NAME_NUM)) {}

    std::optional<char32_t> translate(std::uint8_t keyCode,
                                      std::uint16_t modifiers) const override {
        const std::optional<std::uint16_t> evdev = evdevKeyCode(keyCode);
        if (!evdev) return std::nullopt;
        // Linux layouts bind F13 and up to launcher actions; on the original keyboards every
        // function key types the function-key character.
        if (isFunctionKey(*evdev)) return 0x10;
        // X key codes, which xkbcommon uses, are evdev codes offset by 8.
        const xkb_keycode_t key = *evdev + 8u;
        if (key < xkb_keymap_min_keycode(keymap_.get()) ||
            key > xkb_keymap_max_keycode(keymap_.get()))
            return std::nullopt;

        State state(xkb_state_new(keymap_.get()));
        if (!state) return std::nullopt;
        xkb_mod_mask_t depressed = 0;
        if (modifiers & commandKeyMask) depressed |= command_;
        if (modifiers & shiftKeyMask) depressed |= shift_;
        if (modifiers & optionKeyMask) depressed |= option_;
        if (modifiers & controlKeyMask) depressed |= control_;
        const xkb_mod_mask_t locked = numLock_ | ((modifiers & capsLockKeyMask) ? capsLock_ : 0);
        xkb_state_update_mask(state.get(), depressed, 0, locked, 0, 0, group_);

        const xkb_keysym_t* syms = nullptr;
        // A key that types several keysyms at once types no single character.
        if (xkb_state_key_get_syms(state.get(), key, &syms) != 1) return std::nullopt;
        return characterOfKeysym(syms[0]);
    }

private:
    Keymap keymap_;
    xkb_layout_index_t group_;
    xkb_mod_mask_t command_, shift_, capsLock_, option_, control_, numLock_;
};

Context newContext() {
    // Names come only from the sources chosen here, never from xkbcommon's own reading of the
    // environment, so tests can say exactly where a layout comes from.
    Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (context) xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    return context;
}

const char* orNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

Keymap keymapFromNames(xkb_context* context, const XkbNames& names) {
    if (!context) return nullptr;
    const xkb_rule_names rmlvo{orNull(names.rules), orNull(names.model), orNull(names.layout),
                               orNull(names.variant), orNull(names.options)};
    return Keymap(xkb_keymap_new_from_names(context, &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

// The X server's keymap and its current group; no keymap when there is no usable server.
std::pair<Keymap, xkb_layout_index_t> keymapFromXServer(xkb_context* context,
                                                        const std::string& display) {
    if (!context) return {};
    Connection connection(xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr));
    if (!connection || xcb_connection_has_error(connection.get())) return {};
    if (!xkb_x11_setup_xkb_extension(connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                     nullptr, nullptr))
        return {};
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
    if (device == -1) return {};
    Keymap keymap(xkb_x11_keymap_new_from_device(context, connection.get(), device,
                                                 XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return {};
    State state(xkb_x11_state_new_from_device(keymap.get(), connection.get(), device));
    const xkb_layout_index_t group =
        state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    return {std::move(keymap), group};
}

std::optional<XkbNames> namesFromEnvironment(
    const std::function<const char*(const char*)>& getenv) {
    if (!getenv) return std::nullopt;
    const auto read = [&](const char* name) {
        const char* value = getenv(name);
        return std::string(value ? value : "");
    };
    XkbNames names{read("XKB_DEFAULT_RULES"), read("XKB_DEFAULT_MODEL"),
                   read("XKB_DEFAULT_LAYOUT"), read("XKB_DEFAULT_VARIANT"),
                   read("XKB_DEFAULT_OPTIONS")};
    if (names.layout.empty()) return std::nullopt;
    return names;
}

std::optional<XkbNames> namesFromFile(const std::filesystem::path& path) {
    if (path.empty()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return parseDefaultKeyboard(text.str());
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<XkbNames> parseDefaultKeyboard(std::string_view text) {
    XkbNames names;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with("export ")) line = trimmed(line.substr(7));
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        std::string_view value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (key == "XKBMODEL") names.model = value;
        else if (key == "XKBLAYOUT") names.layout = value;
        else if (key == "XKBVARIANT") names.variant = value;
        else if (key == "XKBOPTIONS") names.options = value;
    }
    if (names.layout.empty()) return std::nullopt;
    return names;
}

XkbLayoutSources XkbLayoutSources::system() {
    XkbLayoutSources sources;
    if (const char* display = std::getenv("DISPLAY"); display && *display)
        sources.display = display;
    sources.environment = [](const char* name) -> const char* { return std::getenv(name); };
    sources.defaultKeyboardFile = "/etc/default/keyboard";
    return sources;
}

namespace {

// The first group of keymap whose A key types a Latin letter.
std::shared_ptr<const KeyLayout> asciiCapableGroup(xkb_keymap* keymap) {
    const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap);
    for (xkb_layout_index_t group = 0; group < groups; ++group) {
        auto layout = std::make_shared<XkbKeyLayout>(keymap, group);
        const std::optional<char32_t> a = layout->translate(0x00, 0);
        if (a && *a >= U'a' && *a <= U'z') return layout;
    }
    return nullptr;
}

}  // namespace

XkbKeyboardLayouts::XkbKeyboardLayouts(const XkbLayoutSources& sources) {
    const Context context = newContext();
    xkb_layout_index_t group = 0;
    Keymap keymap;
    if (sources.display) {
        std::tie(keymap, group) = keymapFromXServer(context.get(), *sources.display);
        if (keymap) origin_ = XkbLayoutOrigin::xServer;
    }
    if (!keymap) {
        if (const auto names = namesFromEnvironment(sources.environment)) {
            keymap = keymapFromNames(context.get(), *names);
            if (keymap) origin_ = XkbLayoutOrigin::environment;
        }
    }
    if (!keymap) {
        if (const auto names = namesFromFile(sources.defaultKeyboardFile)) {
            keymap = keymapFromNames(context.get(), *names);
            if (keymap) origin_ = XkbLayoutOrigin::defaultKeyboardFile;
        }
    }
    if (!keymap) {
        keymap = keymapFromNames(context.get(), XkbNames{"", "", "us", "", ""});
        if (keymap) origin_ = XkbLayoutOrigin::fallback;
    }
    if (!keymap) return;
    current_ = std::make_shared<XkbKeyLayout>(keymap.get(), group);
    asciiCapable_ = asciiCapableGroup(keymap.get());
}

XkbKeyboardLayouts::XkbKeyboardLayouts(const XkbNames& names) {
    const Context context = newContext();
    const Keymap keymap = keymapFromNames(context.get(), names);
    if (!keymap) return;
    origin_ = XkbLayoutOrigin::explicitNames;
    current_ = std::make_shared<XkbKeyLayout>(keymap.get(), 0);
    asciiCapable_ = asciiCapableGroup(keymap.get());
}

XkbKeyboardLayouts::~XkbKeyboardLayouts() = default;

std::shared_ptr<const KeyLayout> XkbKeyboardLayouts::currentLayout() { return current_; }

std::shared_ptr<const KeyLayout> XkbKeyboardLayouts::currentAsciiCapableLayout() {
    return asciiCapable_;
}

BackgroundKeyboardLayouts::BackgroundKeyboardLayouts(XkbLayoutSources sources) {
    try {
        reading_ = std::async(std::launch::async, [sources] {
            return std::make_unique<XkbKeyboardLayouts>(sources);
        });
    } catch (const std::system_error&) {
        // No thread to be had: read them here and now.
        layouts_ = std::make_unique<XkbKeyboardLayouts>(sources);
    }
}

// The future's own destructor waits for a reading still under way.
BackgroundKeyboardLayouts::~BackgroundKeyboardLayouts() = default;

XkbKeyboardLayouts& BackgroundKeyboardLayouts::layouts() {
    if (!layouts_) layouts_ = reading_.get();
    return *layouts_;
}

std::shared_ptr<const KeyLayout> BackgroundKeyboardLayouts::currentLayout() {
    return layouts().currentLayout();
}

std::shared_ptr<const KeyLayout> BackgroundKeyboardLayouts::currentAsciiCapableLayout() {
    return layouts().currentAsciiCapableLayout();
}

}  // namespace quillon
