// The action editor's own operations: the command menu, the choosers of application, item and
// script, the extra keys, the single-character field, the address field, and Return and Tab in
// the editor's text fields.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/action_choices.h"
#include "prefs/command_table.h"

namespace quillon {

namespace {

constexpr std::string_view kAddressHint =
    "Enter a complete address, such as https://example.com or mailto:name@example.com.";
// Where a user expects to pick an application on a Linux desktop.
constexpr std::string_view kApplicationsFolder = "/usr/share/applications";

std::int64_t commandOf(const DictRef& action) {
    return action ? action->integer("command") : 0;
}

// path with the home folder written as "~"; a path outside it is kept whole.
std::string abbreviatingHome(const std::string& path, std::string home) {
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home.empty() || home == "/") return path;
    if (path == home) return "~";
    if (path.size() > home.size() && path.compare(0, home.size(), home) == 0 &&
        path[home.size()] == '/')
        return "~" + path.substr(home.size());
    return path;
}

// Decodes the code point that ends at end (exclusive); a byte that is no part of well-formed
// UTF-8 counts as one character of its own, so nothing is ever split inside a sequence.
std::size_t codePointStart(std::string_view text, std::size_t end, char32_t& codePoint) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    auto lead = static_cast<unsigned char>(text[start]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 0;
    if (length != end - start) {
        codePoint = static_cast<unsigned char>(text[end - 1]);
        return end - 1;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = start + 1; i < end; ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    codePoint = value;
    return start;
}

// Marks that belong to the character before them: combining marks, variation selectors, skin
// tones and the joiner of emoji sequences.
bool extendsPrevious(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) ||
           (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0x200D;
}

bool isRegionalIndicator(char32_t c) {
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// The last character the user sees in text: its last code point with the marks that extend it,
// emoji joined by a joiner, and the two halves of a flag.
std::string lastWholeCharacter(std::string_view text) {
    std::size_t start = text.size();
    char32_t c = 0;
    bool joined = true;  // the next code point to the left belongs to the character
    while (start > 0 && joined) {
        std::size_t previous = codePointStart(text, start, c);
        start = previous;
        joined = extendsPrevious(c);
        if (!joined && start > 0) {
            char32_t before = 0;
            std::size_t beforeStart = codePointStart(text, start, before);
            if (before == 0x200D) {
                start = beforeStart;
                joined = true;
            } else if (isRegionalIndicator(c) && isRegionalIndicator(before)) {
                start = beforeStart;
            }
        }
    }
    return std::string(text.substr(start));
}

}  // namespace

void QuillonMousePane::ibaOptionsMenuAction(const Sender& sender) {
    DictRef current = action();
    if (!current) return;
    // The menu stores its code before sending; storing the sender's code again makes the order
    // in which a window does the two irrelevant.
    if (sender.selectedTag >= 0 && commandInfo(sender.selectedTag))
        current->set("command", Integer(sender.selectedTag));
    for (const std::string& key : current->keys())
        if (key != "command") current->remove(key);
    if (commandOf(current) == kCommandKey) current->set("keyCode", Integer(kNoKeyCode));
}

void QuillonMousePane::ibaOptionsButtonChooseApp(const Sender&) {
    OpenPanelOptions options;
    options.message = localized("Choose an application.");
    options.directory = std::string(kApplicationsFolder);
    options.allowedTypes = {"app", "desktop"};
    std::weak_ptr<QuillonMousePane*> weak = alive_;
    host().runOpenPanel(options, [weak](bool ok, const std::vector<std::string>& paths) {
        auto alive = weak.lock();
        if (!alive || !*alive || !ok || paths.empty()) return;
        QuillonMousePane& pane = **alive;
        DictRef info = pane.services_.workspace.infoDictionary(paths.front());
        std::string bundleID = info && info->get("CFBundleIdentifier").ifString()
                                   ? info->string("CFBundleIdentifier")
                                   : std::string();
        DictRef current = pane.action();
        // The user may have chosen another command, or another control, meanwhile.
        if (bundleID.empty() || commandOf(current) != kCommandApp) return;
        current->set("app", bundleID);
    });
}

void QuillonMousePane::ibaOptionsButtonChooseItem(const Sender&) {
    OpenPanelOptions options;
    options.message = localized("Choose a file or folder to open.");
    options.canChooseFiles = true;
    options.canChooseDirectories = true;
    choosePathInto(options, kCommandOpen, "path");
}

void QuillonMousePane::ibaOptionsButtonChooseScript(const Sender&) {
    OpenPanelOptions options;
    options.message = localized("Choose a script to run.");
    choosePathInto(options, kCommandScript, "script");
}

void QuillonMousePane::choosePathInto(const OpenPanelOptions& options, std::int64_t command,
                                      std::string key) {
    std::weak_ptr<QuillonMousePane*> weak = alive_;
    host().runOpenPanel(
        options, [weak, command, key](bool ok, const std::vector<std::string>& paths) {
            auto alive = weak.lock();
            if (!alive || !*alive || !ok || paths.empty()) return;
            QuillonMousePane& pane = **alive;
            std::string path = abbreviatingHome(paths.front(), pane.services_.homeDirectory);
            DictRef current = pane.action();
            // The user may have chosen another command, or another control, meanwhile.
            if (path.empty() || commandOf(current) != command) return;
            current->set(key, path);
        });
}

void QuillonMousePane::ibaOptionsMenuExtraKeys(const Sender& sender) {
    DictRef current = action();
    // 255 means "no key", and anything wider is no key code at all.
    if (commandOf(current) != kCommandKey || sender.selectedTag < 0 ||
        sender.selectedTag >= kNoKeyCode)
        return;
    current->set("keyCode", Integer(sender.selectedTag));
}

void QuillonMousePane::controlTextDidChange(TextField& control) {
    if (control.tag() != kSingleCharacterFieldTag) return;
    std::string text = control.stringValue();
    std::string last = lastWholeCharacter(text);
    // Typing into a filled field replaces its character instead of adding one.
    if (last != text) control.setStringValue(last);
    if (DictRef current = action()) current->set("char", last);
}

bool QuillonMousePane::control(FieldEditor& textView, std::string_view command) {
    if (command == "insertNewline:") {
        textView.insertText("\n");
        return true;
    }
    if (command == "insertTab:") {
        textView.insertText("\t");
        return true;
    }
    return false;
}

void QuillonMousePane::watchActionEditor() {
    struct EditorState {
        // The action whose `char` was last reported: a report for another one is a new current
        // action, whose stored text is shown as it is.
        std::weak_ptr<Dictionary> charAction;
        bool syncingAddress = false;
    };
    auto state = std::make_shared<EditorState>();

    // A record that just became a scroll may have no direction, which reads as up: its line
    // count is shown at once, not only once a direction is stored.
    properties_.addObserver("action.command", [this](const std::string&, const Value&) {
        DictRef current = action();
        if (commandOf(current) == kCommandScroll)
            setUiValue("hasScrollSpeed", current->integer("direction") < 4);
    });

    // A bound field may store all the text typed into it; the record keeps its last character.
    properties_.addObserver("action.char", [this, state](const std::string&, const Value&) {
        DictRef current = action();
        bool sameAction = current && state->charAction.lock() == current;
        state->charAction = current;
        if (!sameAction || !current->get("char").ifString()) return;
        std::string text = current->string("char");
        std::string last = lastWholeCharacter(text);
        if (last != text) current->set("char", last);
    });

    // The address field edits ui.url; only an address the helper can open reaches the record,
    // other text shows a hint and leaves the stored address alone.
    properties_.addObserver("ui.url", [this, state](const std::string&, const Value&) {
        DictRef current = action();
        DictRef uiState = ui();
        if (state->syncingAddress || !current || !uiState) return;
        std::string text = uiState->get("url").ifString() ? uiState->string("url") : std::string();
        Raised guard(state->syncingAddress);
        if (text.empty() || isActionAddress(text)) {
            current->set("url", text);
            setUiValue("urlHint", std::string());
        } else {
            setUiValue("urlHint", localized(std::string(kAddressHint)));
        }
    });
    properties_.addObserver("action.url", [this, state](const std::string&, const Value&) {
        if (state->syncingAddress) return;
        DictRef current = action();
        DictRef uiState = ui();
        if (!uiState) return;
        std::string text =
            current && current->get("url").ifString() ? current->string("url") : std::string();
        Raised guard(state->syncingAddress);
        if (!uiState->get("url").ifString() || uiState->string("url") != text)
            setUiValue("url", text);
        setUiValue("urlHint", std::string());
    });
}

}  // namespace quillon
