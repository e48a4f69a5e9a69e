// The one reaction to every observed key path: check boxes kept in step with the bit fields,
// the current settings followed, option edits of global settings saved at once.
#include <array>

#include "keyboard/key_names.h"
#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/command_table.h"

namespace quillon {

namespace {

struct CheckBox {
    const char* key;
    std::uint16_t bit;
};

constexpr std::array<CheckBox, 5> kModifierBoxes = {{
    {"modControl", 0x1000},
    {"modOption", 0x0800},
    {"modCmd", 0x0100},
    {"modShift", 0x0200},
    {"modCaps", 0x0400},
}};

constexpr std::array<CheckBox, 7> kAxisBoxes = {{
    {"xyDoubleX", 0x0001},
    {"xyDoubleY", 0x0002},
    {"xyInvertX", 0x0004},
    {"xyInvertY", 0x0008},
    {"xySwapXY", 0x0010},
    {"xyDisableX", 0x0020},
    {"xyDisableY", 0x0040},
}};

template <std::size_t N>
const CheckBox* findBox(const std::array<CheckBox, N>& boxes, std::string_view key) {
    for (const auto& box : boxes)
        if (key == box.key) return &box;
    return nullptr;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void QuillonMousePane::copyBitsToCheckBoxes(std::string_view bitsKey) {
    DictRef current = action();
    auto bits = static_cast<std::uint16_t>(current ? current->integer(bitsKey) & 0xFFFF : 0);
    Raised guard(fDontObserve);
    if (bitsKey == "modifiers")
        for (const auto& box : kModifierBoxes)
            setUiValue(box.key, Integer((bits & box.bit) ? 1 : 0));
    else
        for (const auto& box : kAxisBoxes)
            setUiValue(box.key, Integer((bits & box.bit) ? 1 : 0));
}

void QuillonMousePane::copyCheckBoxToBits(std::string_view key, std::string_view bitsKey,
                                          const Value& newValue) {
    const CheckBox* box =
        bitsKey == "modifiers" ? findBox(kModifierBoxes, key) : findBox(kAxisBoxes, key);
    Raised guard(fDontObserve);
    DictRef current = action();
    if (!box || !current) return;
    auto bits = static_cast<std::uint16_t>(current->integer(bitsKey) & 0xFFFF);
    bits = newValue.asBool() ? (bits | box->bit) : (bits & ~box->bit);
    current->set(bitsKey, Integer(bits));
}

void QuillonMousePane::showApplicationPath() {
    DictRef current = action();
    std::string bundleID = current ? current->string("app") : std::string();
    setUiValue("path",
               bundleID.empty() ? std::string() : services_.workspace.pathForApplication(bundleID));
}

void QuillonMousePane::observeValueForKeyPath(const std::string& keyPath, const Value& newValue) {
    DictRef current = action();
    std::int64_t command = current ? current->integer("command") : 0;
    DictRef uiState = ui();
    bool showKeystroke = false;

    if (keyPath == "ui.selectedDevice") {
        std::int64_t productID = uiState ? uiState->integer("selectedDevice") : 0;
        if (productID == 0 || !fConnectedDevices) return;
        for (const Value& record : *fConnectedDevices) {
            DictRef device = record.dictionary();
            if (productIDOf(device.get()) == productID) {
                switchToDevice(device);
                return;
            }
        }
    } else if (keyPath == "ui.tabID") {
        bool onOptions =
            uiState && uiState->get("tabID").ifString() && uiState->string("tabID") == "options";
        setUiValue("canRestore", onOptions);
        if (iboPathView) {
            iboPathView->setHidden(onOptions);
            iboPathView->setAnimated(!onOptions);
        }
    } else if (keyPath == "ui.settingsUID") {
        getCurSettingsFromArray();
    } else if (keyPath == "ui.actionIndex") {
        getCurSettingsFromArray();
        std::int64_t index = ui() ? ui()->integer("actionIndex") : -1;
        setUiValue("canEdit", Integer(index >= 0 ? 1 : 0));
        setUiValue("showScrollFreq", Integer(index >= 12 && index <= 15 ? 0 : 1));
    } else if (keyPath == "action.command") {
        setUiValue("actionTab", std::string(commandTab(command)));
        if (command == kCommandApp) showApplicationPath();
        if (fMacroViewController)
            fMacroViewController->setMacroAction(command == kCommandMacro ? current : nullptr);
    } else if (keyPath == "action.keyCode") {
        showKeystroke = true;
    } else if (keyPath == "action.modifiers") {
        if (!fDontObserve) copyBitsToCheckBoxes("modifiers");
        showKeystroke = true;
    } else if (keyPath == "action.xyOptions") {
        if (!fDontObserve) copyBitsToCheckBoxes("xyOptions");
    } else if (keyPath == "action.app") {
        if (command == kCommandApp) showApplicationPath();
    } else if (keyPath == "action.direction") {
        if (command == kCommandScroll && current) {
            std::int64_t direction = current->integer("direction");
            setUiValue("hasScrollSpeed", direction < 4);
            if (direction >= 4) current->set("count", Integer(0));
        }
    } else if (startsWith(keyPath, "ui.mod")) {
        if (!fDontObserve)
            copyCheckBoxToBits(std::string_view(keyPath).substr(3), "modifiers", newValue);
    } else if (startsWith(keyPath, "ui.xy")) {
        if (!fDontObserve)
            copyCheckBoxToBits(std::string_view(keyPath).substr(3), "xyOptions", newValue);
    } else if (startsWith(keyPath, "options.")) {
        if (fSelfChangingOptions) return;
        DictRef record = settings();
        DictRef app = record ? record->dictionary("app") : nullptr;
        // Global settings reach the helper at once; an application's wait for the next save.
        if (!app || app->string("execName").empty()) savePrefsToFile();
    }

    if (showKeystroke && command == kCommandKey && current)
        setUiValue(
            "keystroke",
            keystrokeString(static_cast<std::uint8_t>(current->integer("keyCode") & 0xFF),
                            static_cast<std::uint16_t>(current->integer("modifiers") & 0xFFFF)));
}

}  // namespace quillon
