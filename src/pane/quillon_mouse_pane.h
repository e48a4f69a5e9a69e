// The settings pane's controller: the preferences it edits, the five observable state
// dictionaries the window is bound to, the current device and settings, and the helper link.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pane/observable_properties.h"
#include "pane/preference_pane.h"
#include "platform/distributed_notification_center.h"
#include "platform/field_editor.h"
#include "platform/key_event_hook.h"
#include "platform/keyboard_layout.h"
#include "platform/login_items.h"
#include "platform/macro_editor.h"
#include "platform/outlets.h"
#include "platform/run_loop.h"
#include "platform/workspace.h"
#include "plist/value.h"

namespace quillon {

// The platform services the pane reaches, chosen once by whoever creates it.
struct PaneServices {
    RunLoop& runLoop;
    DistributedNotificationCenter& notificationCenter;
    Workspace& workspace;
    LoginItems& loginItems;
    KeyboardLayouts& keyboardLayouts;
    KeyEventHook& keyEventHook;
    MacroEditorFactory macroEditorFactory;
    std::string homeDirectory;  // where Library/Preferences lies
};

class QuillonMousePane : public PreferencePane,
                         public OutlineViewDataSource,
                         public OutlineViewDelegate {
public:
    // The codes the pane's panels end with.
    static constexpr int kModalCancel = 0;
    static constexpr int kModalOK = 1;
    static constexpr int kModalOther = 2;

    QuillonMousePane(PaneHost& host, PaneServices services);
    ~QuillonMousePane() override;

    // The pane that loaded last; the keystroke capture reaches the pane through it.
    static QuillonMousePane* sharedPane();

    // Life cycle.
    void mainViewDidLoad() override;
    void didSelect() override;
    void willUnselect() override;
    void sysPrefWindowDidBecomeKey();
    void sysPrefWindowDidResignKey();
    // Places the macro editor's view into iboOptionsViewMacroFrame, once. mainViewDidLoad does it;
    // a window that connects the frame later calls it then.
    void placeMacroEditor();

    // The five state dictionaries. settings, action, options and state are the records inside
    // fPrefs themselves, so an edit through them is an edit of the preferences.
    DictRef ui() const { return properties_.get("ui"); }
    DictRef settings() const { return properties_.get("settings"); }
    DictRef action() const { return properties_.get("action"); }
    DictRef options() const { return properties_.get("options"); }
    DictRef state() const { return properties_.get("state"); }
    void setUi(DictRef value) { properties_.set("ui", std::move(value)); }
    void setSettings(DictRef value) { properties_.set("settings", std::move(value)); }
    void setAction(DictRef value) { properties_.set("action", std::move(value)); }
    void setOptions(DictRef value) { properties_.set("options", std::move(value)); }
    void setState(DictRef value) { properties_.set("state", std::move(value)); }
    // Observation of "property.key" paths, for the change handler and the window's bindings.
    ObservableProperties& properties() { return properties_; }

    // The preferences file.
    bool readPrefsFromFile();
    void savePrefsToFile();
    std::string prefsPath() const;

    // The helper link.
    void sendDistributedNotification(const DictRef& payload, const std::string& name);
    std::uint16_t requestDriverPrefsUpdate();
    std::uint16_t getDevicesFromHelper();
    std::uint16_t enableDriverMode(bool state);
    void checkConnectedDevicesTimer();
    void handleDistributedNotification(const std::string& name, const std::string& object);
    void updateDextState();

    // Devices.
    void updateConnectedDevices(ArrayRef devices);
    void switchToDevice(DictRef device);
    static std::string deviceTypeForProductID(std::uint16_t productID);
    void replacePlaceholderName(const std::optional<std::string>& name, TextField& field);

    // Current settings.
    void updateTargetMenu();
    void getCurSettingsFromArray();

    // The single change handler of every observed key path.
    void observeValueForKeyPath(const std::string& keyPath, const Value& newValue);

    // The operations controls send, by name ("ibaOptionsItemNew"); the window connects a control
    // whose object name or "action" property is such a name.
    using Action = void (QuillonMousePane::*)(const Sender& sender);
    static const std::map<std::string, Action, std::less<>>& actions();

    // Panels and messages.
    int modalDialog(Panel& panel);
    void ibaModalButtonPressed(const Sender& sender);
    int modalMessage(const std::string& message, const std::vector<std::string>& params,
                     const std::optional<std::string>& check, bool state,
                     const std::optional<std::string>& ok, const std::optional<std::string>& cancel,
                     const std::optional<std::string>& other);
    void verifyMouseClick();

    // The controls list: one row per assignable control of the current device.
    int outlineViewNumberOfChildrenOfItem(OutlineView& view, const Value& item) override;
    bool outlineViewIsItemExpandable(OutlineView& view, const Value& item) override;
    Value outlineViewChildOfItem(OutlineView& view, int index, const Value& item) override;
    Value outlineViewObjectValue(OutlineView& view, const std::string& column,
                                 const Value& item) override;
    bool outlineViewShouldEditTableColumn(OutlineView& view, const std::string& column,
                                          const Value& item) override;
    void outlineViewSelectionDidChange(OutlineView& view) override;

    // Advanced options, firmware update and the info buttons.
    static constexpr std::string_view kManualResourceName = "Quillon Mouse Manual";  // a pdf
    static constexpr std::string_view kWebSiteURL = "https://www.quillonworks.com";
    void ibaOptionsButtonAdvanced(const Sender& sender);
    void ibaOptionsButtonDFU(const Sender& sender);
    void ibaInfoButtonManual(const Sender& sender);
    void ibaInfoButtonURL(const Sender& sender);
    void ibaStatusButtonOpenSysPrefs(const Sender& sender);

    // Settings sets and settings files: new, delete, rename, restore defaults, export, import.
    // uniqueSettingsUID gives nothing when no number from max(start, 1000) up is free.
    void ibaOptionsItemNew(const Sender& sender);
    void ibaOptionsItemDelete(const Sender& sender);
    void ibaOptionsItemRename(const Sender& sender);
    void ibaOptionsButtonDefaults(const Sender& sender);
    std::optional<std::uint32_t> uniqueSettingsUID(std::uint32_t start) const;
    void ibaOptionsItemExport(const Sender& sender);
    void ibaOptionsItemExportAll(const Sender& sender);
    void exportSettings(bool all);
    void ibaOptionsItemImport(const Sender& sender);
    void importSettingsFile(const std::string& path);

    // The action editor: the command menu, the choosers of application, item and script, the
    // extra keys, and the delegate operations of the editor's text fields (the window calls them).
    static constexpr int kSingleCharacterFieldTag = 100;
    void ibaOptionsMenuAction(const Sender& sender);
    void ibaOptionsButtonChooseApp(const Sender& sender);
    void ibaOptionsButtonChooseItem(const Sender& sender);
    void ibaOptionsButtonChooseScript(const Sender& sender);
    void ibaOptionsMenuExtraKeys(const Sender& sender);
    void controlTextDidChange(TextField& control);
    // Return ("insertNewline:") and Tab ("insertTab:") go into the text; true when handled.
    bool control(FieldEditor& textView, std::string_view command);
    // The editor's own observations: the address field and the single character. Once, at load.
    void watchActionEditor();

    // Keystroke capture: while a keystroke is being recorded, the key-event hook hands every key
    // press to receiveKeystroke instead of the window.
    // Installs (hooked true) or removes the hook; a repeated call changes nothing.
    void exchangeKeyEventMethods(bool hooked);
    // True while the pane's window is key and the keystroke field or a keystroke step is edited.
    bool overrideKeysIsActive();
    // Stores a recorded keystroke into the action (key code first) or the macro step being edited.
    void receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers);
    bool fKeyEventsHooked = false;

    // Outlets, connected by the window before mainViewDidLoad (the action editor's two may come
    // later); any may be missing.
    TabView* iboPaneTabs = nullptr;
    TabView* iboMainTabs = nullptr;
    PopUpButton* iboOptionsMenuTarget = nullptr;
    PopUpButton* iboOptionsMenuDevices = nullptr;
    OutlineView* iboOptionsListControls = nullptr;
    TextField* iboOptionsFieldKeystroke = nullptr;
    View* iboOptionsViewMacroFrame = nullptr;
    Button* iboInfoButtonManual = nullptr;
    Button* iboInfoButtonURL = nullptr;
    Panel* iboModalPanel = nullptr;
    Panel* iboNewSettingsPanel = nullptr;
    Panel* iboRenamePanel = nullptr;
    TextField* iboRenameTextName = nullptr;
    TextField* iboRenameFieldName = nullptr;
    Panel* iboSpeedOptionsPanel = nullptr;
    IndicatorView* iboPathView = nullptr;

    // Fields, readable by the window and by tests.
    std::shared_ptr<const Bundle> fPrefPaneBundle;
    DictRef fDeviceInfoTable;
    DictRef fDeviceInfo;
    std::shared_ptr<RunLoopTimer> fDeviceCheckTimer;
    ArrayRef fConnectedDevices;
    DictRef fPrefs;
    DictRef fSettingsTable;
    bool fDontObserve = false;
    bool fSelfChangingOptions = false;
    std::unique_ptr<MacroEditor> fMacroViewController;
    bool fMacroViewPlaced = false;

private:
    // A call of method that does nothing once the pane is gone, for the run loop and observers.
    std::function<void()> whileAlive(void (QuillonMousePane::*method)());
    void setUiValue(const std::string& key, Value value);
    std::string localized(const std::string& text) const;
    void copyBitsToCheckBoxes(std::string_view bitsKey);
    void copyCheckBoxToBits(std::string_view checkBoxKey, std::string_view bitsKey,
                            const Value& newValue);
    void showApplicationPath();
    // Runs an open chooser and stores the chosen path, home written as "~", under key of the
    // current action while it still has that command.
    void choosePathInto(const OpenPanelOptions& options, std::int64_t command, std::string key);

    PaneServices services_;
    // The settings UIDs of the target menu, in menu order; kept also when the menu outlet is
    // missing.
    std::vector<std::string> targetKeys_;
    ObservableProperties properties_;
    DistributedNotificationCenter::ObserverId devicesObserver_ = 0;
    PaneHost::ObserverId windowObserver_ = 0;
    bool windowObserverActive_ = false;
    // Lets a call scheduled on the run loop find out that the pane is gone.
    std::shared_ptr<QuillonMousePane*> alive_;
};

}  // namespace quillon
