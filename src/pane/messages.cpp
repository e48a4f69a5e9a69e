// The message panel, panels run as sheets, and the rule that every set keeps a main click.
#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/settings_sets.h"

namespace quillon {

int QuillonMousePane::modalDialog(Panel& panel) {
    return host().runModal(panel);
}

void QuillonMousePane::ibaModalButtonPressed(const Sender& sender) {
    host().stopModal(sender.tag);
}

int QuillonMousePane::modalMessage(const std::string& message,
                                   const std::vector<std::string>& params,
                                   const std::optional<std::string>& check, bool checkState,
                                   const std::optional<std::string>& ok,
                                   const std::optional<std::string>& cancel,
                                   const std::optional<std::string>& other) {
    auto localize = [this](const std::optional<std::string>& text) -> std::optional<std::string> {
        if (!text || text->empty()) return text;
        return localized(*text);
    };
    std::string text = message.empty() ? message : localized(message);
    for (std::size_t i = 0; i < params.size(); ++i) {
        std::string placeholder = "[" + std::to_string(i) + "]";
        replaceAll(text, placeholder, params[i]);
    }
    std::optional<std::string> checkTitle = localize(check), okTitle = localize(ok),
                               cancelTitle = localize(cancel), otherTitle = localize(other);

    setUiValue("modalMessage", text);
    setUiValue("modalCheck", checkTitle ? Value(*checkTitle) : Value());
    setUiValue("modalCheckState", checkState);
    setUiValue("modalOther", otherTitle ? Value(*otherTitle) : Value());
    setUiValue("modalCancel",
               !cancelTitle ? Value() : Value(cancelTitle->empty() ? "Cancel" : *cancelTitle));
    setUiValue("modalOK", okTitle && !okTitle->empty() ? *okTitle : std::string("OK"));
    // Without its panel no question can be asked; answering Cancel changes nothing.
    return iboModalPanel ? modalDialog(*iboModalPanel) : kModalCancel;
}

void QuillonMousePane::verifyMouseClick() {
    if (!fSettingsTable) return;
    if (!giveEverySetAMainClick(*fSettingsTable).empty())
        modalMessage("Main button reassigned to Mouse Click", {}, std::nullopt, false,
                     std::string(), std::nullopt, std::nullopt);
}

}  // namespace quillon
