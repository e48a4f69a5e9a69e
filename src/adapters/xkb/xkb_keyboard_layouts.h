// Keyboard layouts through xkbcommon: the X server's keymap, else the system's default layout,
// else "us". The only part of the program that talks to xkbcommon.
#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "platform/keyboard_layout.h"

namespace quillon {

// Rules, model, layout, variant and options of an XKB keymap; empty fields take xkbcommon's
// defaults ("evdev", "pc105", "us").
struct XkbNames {
    std::string rules;
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
};

// Where the current layout is looked for, in this order.
struct XkbLayoutSources {
    // X display to read the keymap from ("" for the default display); nothing: no X server.
    std::optional<std::string> display;
    // Reads an environment variable (XKB_DEFAULT_*); nullptr when unset.
    std::function<const char*(const char*)> environment;
    // The system's keyboard configuration (XKBMODEL, XKBLAYOUT, ... lines).
    std::filesystem::path defaultKeyboardFile;

    // The real system: $DISPLAY when set, the process environment, /etc/default/keyboard.
    static XkbLayoutSources system();
};

// Which source gave the current layout.
enum class XkbLayoutOrigin {
    xServer,
    environment,
    defaultKeyboardFile,
    fallback,       // "us"
    explicitNames,  // the names given to the constructor
    none,           // no layout
};

class XkbKeyboardLayouts final : public KeyboardLayouts {
public:
    // Reads the current layout from sources, once.
    explicit XkbKeyboardLayouts(const XkbLayoutSources& sources = XkbLayoutSources::system());
    // A fixed layout from explicit names, as tests and tools need; no layout when they do not
    // compile.
    explicit XkbKeyboardLayouts(const XkbNames& names);
    ~XkbKeyboardLayouts() override;

    std::shared_ptr<const KeyLayout> currentLayout() override;
    std::shared_ptr<const KeyLayout> currentAsciiCapableLayout() override;

    XkbLayoutOrigin origin() const { return origin_; }

private:
    std::shared_ptr<const KeyLayout> current_;
    std::shared_ptr<const KeyLayout> asciiCapable_;
    XkbLayoutOrigin origin_ = XkbLayoutOrigin::none;
};

// The same layouts, read on a thread of their own so that the window is made meanwhile (reading the
// X server's keymap or compiling one takes milliseconds); the first question waits for them.
class BackgroundKeyboardLayouts final : public KeyboardLayouts {
public:
    // sources.environment is asked on that thread, so it must not change meanwhile.
    explicit BackgroundKeyboardLayouts(XkbLayoutSources sources = XkbLayoutSources::system());
    ~BackgroundKeyboardLayouts() override;

    std::shared_ptr<const KeyLayout> currentLayout() override;
    std::shared_ptr<const KeyLayout> currentAsciiCapableLayout() override;

    // Waits for the layouts.
    XkbKeyboardLayouts& layouts();

private:
    std::future<std::unique_ptr<XkbKeyboardLayouts>> reading_;
    std::unique_ptr<XkbKeyboardLayouts> layouts_;
};

// The names that /etc/default/keyboard style text sets (XKBMODEL, XKBLAYOUT, XKBVARIANT,
// XKBOPTIONS); nothing when it sets no layout.
std::optional<XkbNames> parseDefaultKeyboard(std::string_view text);

}  // namespace quillon
