// The Advanced button and its speed options panel, the firmware-update request, and the buttons
// that open the manual, the maker's web site and the security settings.
#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"
#include "platform/keyboard_layout.h"

namespace quillon {

namespace {

// The options the speed options panel edits, with the values its resetting button restores.
// Speed and acceleration are the user's everyday choice and are never reset here.
struct OptionDefault {
    const char* key;
    Value value;
};

const OptionDefault kSpeedOptionDefaults[] = {
    {"doubleX", false},
    {"doubleY", false},
    {"invertX", false},
    {"invertY", false},
    {"swapXY", false},
    {"scrollDPI", Integer(400)},
    {"scrollSpeed", Integer(100)},
    {"scrollXYRatio", Integer(50)},
    {"scrollMaxCount", Integer(15000)},
    {"scrollMinDelay", Integer(40)},
    {"scrollMaxDelay", Integer(250)},
};

}  // namespace

void QuillonMousePane::ibaOptionsButtonAdvanced(const Sender&) {
    if (host().currentModifierFlags() & commandKeyMask) {
        const bool hidden = ui() && ui()->get("secretButtonHidden").asBool();
        setUiValue("secretButtonHidden", Integer(hidden ? 0 : 1));
        return;
    }
    // Without its panel there is nothing to confirm, and a reset nobody asked for would throw
    // the user's options away.
    if (!iboSpeedOptionsPanel) return;
    const bool optionHeld = host().currentModifierFlags() & optionKeyMask;
    // With Option held the device is left raw while the panel is open, so the user can feel the
    // options without the driver's own processing on top.
    if (optionHeld) enableDriverMode(false);
    const int code = modalDialog(*iboSpeedOptionsPanel);
    if (optionHeld) enableDriverMode(true);
    if (code == kModalOK) return;

    if (DictRef current = options()) {
        fSelfChangingOptions = true;
        for (const OptionDefault& option : kSpeedOptionDefaults)
            current->set(option.key, option.value);
        fSelfChangingOptions = false;
    }
    savePrefsToFile();
}

void QuillonMousePane::ibaOptionsButtonDFU(const Sender&) {
    sendDistributedNotification(makeEnterDFURequest(), std::string(kRequestNotificationName));
}

void QuillonMousePane::ibaInfoButtonManual(const Sender&) {
    if (!fPrefPaneBundle) return;
    if (auto path = fPrefPaneBundle->pathForResource(kManualResourceName, "pdf"))
        services_.workspace.openFile(path->string());
}

void QuillonMousePane::ibaInfoButtonURL(const Sender&) {
    services_.workspace.openURL(std::string(kWebSiteURL));
}

void QuillonMousePane::ibaStatusButtonOpenSysPrefs(const Sender&) {
    services_.workspace.openURL(std::string(kSecuritySettingsURL));
}

}  // namespace quillon
