// The pane's life cycle: load, show, hide, window focus, and the pane everyone reaches.
#include <utility>

#include "keyboard/key_names.h"
#include "link/helper_launch.h"
#include "link/notification_protocol.h"
#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "ui/hyperlink.h"

namespace quillon {

namespace {

QuillonMousePane* gSharedPane = nullptr;

// The key paths the change handler watches, in the order it registers them.
constexpr const char* kWatchedKeyPaths[] = {
    "ui.selectedDevice",
    "ui.tabID",
    "ui.settingsUID",
    "ui.actionIndex",
    "action.command",
    "action.keyCode",
    "action.modifiers",
    "action.app",
    "action.direction",
    "action.xyOptions",
    "ui.modControl",
    "ui.modOption",
    "ui.modCmd",
    "ui.modShift",
    "ui.modCaps",
    "ui.xyDoubleX",
    "ui.xyDoubleY",
    "ui.xyInvertX",
    "ui.xyInvertY",
    "ui.xySwapXY",
    "ui.xyDisableX",
    "ui.xyDisableY",
    "options.speedEnabled",
    "options.speed",
    "options.accEnabled",
    "options.acceleration",
    "options.doubleX",
    "options.doubleY",
    "options.invertX",
    "options.invertY",
    "options.swapXY",
};
static_assert(std::size(kWatchedKeyPaths) == 31);

}  // namespace

QuillonMousePane::QuillonMousePane(PaneHost& host, PaneServices services)
    : PreferencePane(host),
      services_(std::move(services)),
      properties_({"ui", "settings", "action", "options", "state"}),
      alive_(std::make_shared<QuillonMousePane*>(this)) {}

QuillonMousePane::~QuillonMousePane() {
    *alive_ = nullptr;
    if (devicesObserver_) services_.notificationCenter.removeObserver(devicesObserver_);
    if (windowObserverActive_) host().removeWindowKeyObservers(windowObserver_);
    if (fDeviceCheckTimer) fDeviceCheckTimer->invalidate();
    exchangeKeyEventMethods(false);
    if (iboOptionsListControls) {
        iboOptionsListControls->setDataSource(nullptr);
        iboOptionsListControls->setDelegate(nullptr);
    }
    if (gSharedPane == this) gSharedPane = nullptr;
}

QuillonMousePane* QuillonMousePane::sharedPane() {
    return gSharedPane;
}

std::function<void()> QuillonMousePane::whileAlive(void (QuillonMousePane::*method)()) {
    std::weak_ptr<QuillonMousePane*> weak = alive_;
    return [weak, method] {
        auto pane = weak.lock();
        if (pane && *pane) ((*pane)->*method)();
    };
}

std::string QuillonMousePane::localized(const std::string& text) const {
    return fPrefPaneBundle ? fPrefPaneBundle->localizedString(text, "Localizable") : text;
}

void QuillonMousePane::setUiValue(const std::string& key, Value value) {
    if (DictRef dict = ui()) dict->set(key, std::move(value));
}

void QuillonMousePane::mainViewDidLoad() {
    gSharedPane = this;
    fPrefPaneBundle = bundle();
    setUi(Dictionary::create());

    if (auto path = fPrefPaneBundle->pathForResource("QuillonMouseDevices", "plist"))
        fDeviceInfoTable = mutableDictionaryWithContentsOfFile(path->string());
    fDeviceInfo = fDeviceInfoTable ? fDeviceInfoTable->dictionary("0000") : nullptr;

    initKeystrokeNames(fPrefPaneBundle, "Localizable", services_.keyboardLayouts);

    launchHelperApplication(services_.workspace, services_.loginItems,
                            fPrefPaneBundle->root().string());

    for (Button* button : {iboInfoButtonManual, iboInfoButtonURL}) {
        if (!button) continue;
        button->setAttributedTitle(newHyperlink(button->title(), false));
        button->setAttributedAlternateTitle(newHyperlink(button->title(), true));
    }

    if (services_.macroEditorFactory)
        fMacroViewController = services_.macroEditorFactory("QUMacroView", *fPrefPaneBundle);
    fMacroViewPlaced = false;
    placeMacroEditor();

    readPrefsFromFile();

    for (const char* keyPath : kWatchedKeyPaths)
        properties_.addObserver(keyPath, [this](const std::string& path, const Value& value) {
            observeValueForKeyPath(path, value);
        });
    watchActionEditor();

    if (iboOptionsListControls) {
        iboOptionsListControls->setDataSource(this);
        iboOptionsListControls->setDelegate(this);
    }

    std::string version =
        fPrefPaneBundle->objectForInfoDictionaryKey("CFBundleShortVersionString").asString() +
        " (" + fPrefPaneBundle->objectForInfoDictionaryKey("CFBundleVersion").asString() + ")";
    std::string versionText = localized("Version #");
    replaceAll(versionText, "#", version);
    setUiValue("driverVersion", versionText);
    setUiValue("secretButtonHidden", true);
    setUiValue("tabID", std::string("options"));
    setUiValue("hideDeviceMenu", true);
    switchToDevice(state() ? state()->dictionary("device") : nullptr);
    setUiValue("actionIndex", Integer(-1));

    std::weak_ptr<QuillonMousePane*> weak = alive_;
    devicesObserver_ = services_.notificationCenter.addObserver(
        std::string(kDevicesNotificationName),
        [weak](const std::string& name, const std::string& object) {
            auto pane = weak.lock();
            if (pane && *pane) (*pane)->handleDistributedNotification(name, object);
        });
    getDevicesFromHelper();
    services_.runLoop.performAfterDelay(0.5, whileAlive(&QuillonMousePane::updateDextState));
}

void QuillonMousePane::placeMacroEditor() {
    if (!fMacroViewController || !iboOptionsViewMacroFrame || fMacroViewPlaced) return;
    fMacroViewPlaced = true;
    const Rect frame = iboOptionsViewMacroFrame->frame();
    fMacroViewController->view().setFrame(Rect{0, 0, frame.width, frame.height});
    iboOptionsViewMacroFrame->addSubview(fMacroViewController->view());
}

void QuillonMousePane::didSelect() {
    exchangeKeyEventMethods(true);
    // A second show without a hide in between must not leave the first timer polling too.
    if (fDeviceCheckTimer) fDeviceCheckTimer->invalidate();
    fDeviceCheckTimer = services_.runLoop.scheduleRepeatingTimer(
        1.0, whileAlive(&QuillonMousePane::checkConnectedDevicesTimer));
    if (windowObserverActive_) host().removeWindowKeyObservers(windowObserver_);
    windowObserver_ =
        host().addWindowKeyObservers(whileAlive(&QuillonMousePane::sysPrefWindowDidBecomeKey),
                                     whileAlive(&QuillonMousePane::sysPrefWindowDidResignKey));
    windowObserverActive_ = true;
}

void QuillonMousePane::willUnselect() {
    if (windowObserverActive_) host().removeWindowKeyObservers(windowObserver_);
    windowObserverActive_ = false;
    if (fDeviceCheckTimer) fDeviceCheckTimer->invalidate();
    exchangeKeyEventMethods(false);
    savePrefsToFile();
}

void QuillonMousePane::sysPrefWindowDidBecomeKey() {}

void QuillonMousePane::sysPrefWindowDidResignKey() {
    savePrefsToFile();
}

}  // namespace quillon
