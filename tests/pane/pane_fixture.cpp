// The pane on doubles.
#include "pane_fixture.h"

namespace quillon::testing {

DictRef settingsRecord(const std::string& type, const std::string& displayName,
                       const std::string& app) {
    DictRef appFields =
        app.empty()
            ? Dictionary::create()
            : makeDictionary(
                  {{"execName", app}, {"bundleID", "org.example." + app}, {"bundleName", app}});
    return makeDictionary({
        {"displayName", displayName},
        {"device", makeDictionary({{"type", type}})},
        {"app", appFields},
        {"actions",
         makeDictionary(
             {{"00", makeDictionary({{"command", Integer(6)}, {"button", Integer(0)}})},
              {"01", makeDictionary({{"command", Integer(6)}, {"button", Integer(1)}})}})},
        {"options", makeDictionary({{"speed", Integer(50)}})},
    });
}

DictRef deviceRecord(std::int64_t pid, std::int64_t transport, std::int64_t interface) {
    return makeDictionary({{"pid", Integer(pid)},
                           {"transport", Integer(transport)},
                           {"interface", Integer(interface)},
                           {"address", Integer(0x1234)}});
}

PaneTest::PaneTest() {
    info = makeDictionary({{"CFBundleShortVersionString", "2.1"},
                           {"CFBundleVersion", "345"},
                           {"CFBundleIdentifier", "com.quillonworks.mouse.prefpane"}});
    defaults = makeDictionary({
        {"settings", makeDictionary({
                         {"0010", settingsRecord("tamber", "Zeta Global")},
                         {"0011", settingsRecord("tamber", "mail", "Mail")},
                         {"0012", settingsRecord("tamber", "Browser", "Browser")},
                         {"0013", settingsRecord("tamber", "archive", "Archive")},
                         {"0020", settingsRecord("vantor", "Vantor Global")},
                         {"0030", settingsRecord("sorrel3", "Editor", "Editor")},
                     })},
        {"general", Dictionary::create()},
        {"state", Dictionary::create()},
        {"version", Integer(1)},
    });
    auto control = [](const std::string& name, int index) {
        return makeDictionary({{"name", name}, {"index", Integer(index)}});
    };
    devices = makeDictionary({
        {"0000",
         makeDictionary({{"deviceName", "Quillon Mouse"}, {"assignments", Array::create()}})},
        {"1056", makeDictionary({{"deviceName", "Quillon Tamber One"},
                                 {"assignments", makeArray({control("Left", 0), control("Right", 1),
                                                            control("Wheel", 13)})}})},
        {"0503",
         makeDictionary({{"deviceName", "Quillon Tamber Dock"}, {"assignments", Array::create()}})},
        {"1059", makeDictionary({{"deviceName", "Quillon Vantor Two"},
                                 {"assignments", makeArray({control("Left", 0)})}})},
        {"1013", makeDictionary(
                     {{"deviceName", "Quillon Sorrel Three"}, {"assignments", Array::create()}})},
    });
}

PaneTest::~PaneTest() {
    pane.reset();
}

void PaneTest::writeBundle() {
    writeToFile(*info, bundleDir.file("Info.plist"), true);
    writeToFile(*defaults, bundleDir.file("QuillonMouseDefaults.plist"), true);
    writeToFile(*devices, bundleDir.file("QuillonMouseDevices.plist"), true);
}

void PaneTest::load() {
    writeBundle();
    host = std::make_unique<FakePaneHost>(bundleDir.path());
    PaneServices services{loop,
                          bus,
                          workspace,
                          loginItems,
                          layouts,
                          hook,
                          [this](const std::string&, const Bundle&) {
                              prefsExistedAtEditor = std::filesystem::exists(prefsPath());
                              launchesAtEditor = workspace.launched.size();
                              auto editor = std::make_unique<RecordingMacroEditor>();
                              macroEditor = editor.get();
                              return editor;
                          },
                          home.path().string()};
    pane = std::make_unique<QuillonMousePane>(*host, std::move(services));
    pane->iboPaneTabs = &paneTabs;
    pane->iboMainTabs = &mainTabs;
    pane->iboOptionsMenuTarget = &targetMenu;
    pane->iboOptionsMenuDevices = &deviceMenu;
    pane->iboOptionsListControls = &controls;
    pane->iboOptionsFieldKeystroke = &keystrokeField;
    pane->iboOptionsViewMacroFrame = &macroFrame;
    pane->iboInfoButtonManual = &manualButton;
    pane->iboInfoButtonURL = &urlButton;
    pane->iboModalPanel = &modalPanel;
    pane->iboPathView = &pathView;
    macroFrame.setFrame(Rect{10, 20, 300, 200});
    pane->mainViewDidLoad();
}

void PaneTest::receiveDevices(std::initializer_list<DictRef> records) {
    ArrayRef list = Array::create();
    for (const auto& record : records)
        list->append(record);
    bus.receive(std::string(kDevicesNotificationName),
                *encodeNotificationPayload(makeDevicesMessage(list)));
    loop.runUntilIdle();
}

std::vector<std::string> PaneTest::requestsSent() const {
    std::vector<std::string> names;
    for (const auto& post : bus.postedUnder(std::string(kRequestNotificationName))) {
        DictRef request = decodeNotificationPayload(post.object);
        names.push_back(request ? request->string("request") : "?");
    }
    return names;
}

}  // namespace quillon::testing
