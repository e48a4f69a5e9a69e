// Every text the layouts and the code show has an entry in both strings tables, the window shows
// German under a German locale, and every control has a name that a screen reader can say.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
#include <set>

#include "adapters/qt/qt_pane_host.h"
#include "app/quillon-settings/settings_window.h"
#include "keyboard/key_names.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/strings_table.h"
#include "testing/fake_login_items.h"
#include "testing/fake_pane_host.h"
#include "testing/fake_workspace.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/in_memory_notification_center.h"
#include "testing/manual_run_loop.h"
#include "testing/temp_dir.h"
#include "widgets_test_support.h"
#include "window_fixture.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string unescapeXml(std::string text) {
    for (auto [from, to] :
         {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + 1))
            text.replace(at, std::string_view(from).size(), to);
    }
    return text;
}

// The texts a user sees: the layouts' translatable strings, the literals the code hands to the
// strings table, and the key names.
std::set<std::string> shownTexts() {
    std::set<std::string> texts;
    const fs::path source = testing::sourceDir();
    const std::regex uiText(
        R"re(<(?:property|attribute) name="(?:text|title|windowTitle|placeholderText|accessibleName|accessibleDescription|toolTip|suffix|prefix)">\s*<string>([^<]+)</string>)re");
    for (const auto& entry : fs::directory_iterator(source / "resources")) {
        if (entry.path().extension() != ".ui") continue;
        const std::string xml = testing::readAll(entry.path());
        for (std::sregex_iterator it(xml.begin(), xml.end(), uiText), end; it != end; ++it)
            texts.insert(unescapeXml((*it)[1]));
    }
    // The arguments of the calls that localize, up to the closing parenthesis of the call.
    const std::regex call(
        R"re((?:^|[^:\w])(?:localized|localizedKeyName|modalMessage)\(([^;]*?)\)\s*[;,{)?:])re");
    const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
    for (const auto& entry : fs::recursive_directory_iterator(source / "src")) {
        // The desktop-entry reader localizes entries of other programs, not texts of ours.
        if (entry.path().extension() != ".cpp" || entry.path().parent_path().filename() == "xdg")
            continue;
        const std::string code = testing::readAll(entry.path());
        for (std::sregex_iterator it(code.begin(), code.end(), call), end; it != end; ++it) {
            const std::string args = (*it)[1];
            for (std::sregex_iterator lit(args.begin(), args.end(), literal); lit != end; ++lit) {
                // A literal handed to a nested call (record->string("displayName")) is a key.
                const auto at = static_cast<std::size_t>(lit->position());
                const bool nested =
                    at >= 2 && args[at - 1] == '(' &&
                    (std::isalnum(static_cast<unsigned char>(args[at - 2])) || args[at - 2] == '_');
                if (!nested && !(*lit)[1].str().empty()) texts.insert((*lit)[1]);
            }
        }
    }
    // The names of the devices' controls in the shipped device table.
    const std::string devices =
        testing::readAll(source / "resources" / "QuillonMouseDevices.plist");
    const std::regex controlName(R"re(<key>name</key>\s*<string>([^<]+)</string>)re");
    for (std::sregex_iterator it(devices.begin(), devices.end(), controlName), end; it != end; ++it)
        texts.insert(unescapeXml((*it)[1]));
    for (auto name : specialKeyNames)
        texts.emplace(name);
    for (const auto& fixed : fixedKeyNames)
        texts.emplace(fixed.name);
    for (const auto& modifier : modifierNames)
        texts.emplace(modifier.name);
    texts.emplace(keypadName);
    return texts;
}

DictRef table(const char* language) {
    DictRef parsed = parseStringsTable(
        testing::readAll(testing::sourceDir() / "resources" / (std::string(language) + ".lproj") /
                         "Localizable.strings"));
    EXPECT_TRUE(parsed) << language << " table does not parse";
    return parsed ? parsed : Dictionary::create();
}

TEST(localization, every_shown_text_has_an_english_and_a_german_entry) {
    DictRef english = table("en"), german = table("de");
    const std::set<std::string> texts = shownTexts();
    EXPECT_GT(texts.size(), 60u) << "the scan found the layouts and the code";
    EXPECT_TRUE(texts.count("Main button reassigned to Mouse Click"))
        << "the scan reads the code's calls";
    for (const std::string& text : texts) {
        EXPECT_TRUE(english->get(text).isPresent()) << "no English entry: " << text;
        EXPECT_TRUE(german->get(text).isPresent()) << "no German entry: " << text;
    }
    for (const auto& [key, value] : *english)
        EXPECT_TRUE(german->get(key).isPresent()) << "not translated: " << key;
    for (const auto& [key, value] : *german)
        EXPECT_TRUE(english->get(key).isPresent())
            << "German entry without an English one: " << key;
}

// The window on doubles, in a language of the test's choice.
struct Window : testing::PaneDoubles {
    explicit Window(const char* language)
        : host(std::make_shared<Bundle>(testing::sourceDir() / "resources",
                                        std::vector<std::string>{language}),
               [] { return std::uint16_t{5}; }) {
        window.load();
    }
    QtPaneHost host;
    QuillonMousePane pane{host, services()};
    SettingsWindow window{pane, host};
};

bool isInteractive(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTreeWidget*>(widget) || qobject_cast<const QTabWidget*>(widget);
}

TEST(localization, the_window_speaks_german_and_names_every_control_for_a_screen_reader) {
    Window german("de");
    EXPECT_EQ(german.window.find<QTabWidget>("iboMainTabs")->tabText(0), "Zeiger");
    EXPECT_EQ(german.window.find<QAbstractButton>("iboInfoButtonManual")->text(), "Handbuch");
    // The panels too, made here as the pane makes them when it first needs one.
    german.window.panels();
    EXPECT_EQ(german.window.find<QWidget>("iboModalPanel")->windowTitle(), "Quillon Mouse");

    // The message panel's buttons are named by the message they show.
    german.host.answerPanelsUnattended(QuillonMousePane::kModalOK);
    german.pane.modalMessage("Main button reassigned to Mouse Click", {},
                             std::string("Apply to All"), false, std::string(), std::string(),
                             std::string("Skip"));
    // The editor's pages come with the Buttons tab, as a user opens it; Tab then runs from the
    // controls list through the editor's fields to the footer.
    EXPECT_FALSE(german.window.isButtonsTabLoaded());
    german.window.find<QTabWidget>("iboMainTabs")
        ->setCurrentWidget(german.window.find<QWidget>("buttonsTab"));
    ASSERT_TRUE(german.window.isButtonsTabLoaded());
    std::vector<std::string> tabStops;
    std::set<QWidget*> reached;
    for (QWidget* w = german.window.nextInFocusChain(); w != &german.window;
         w = w->nextInFocusChain()) {
        reached.insert(w);
        if (w->focusPolicy() & Qt::TabFocus) tabStops.push_back(w->objectName().toStdString());
    }
    auto after = [&](const char* name) {
        auto it = std::find(tabStops.begin(), tabStops.end(), name);
        return it == tabStops.end() || ++it == tabStops.end() ? std::string() : *it;
    };
    EXPECT_EQ(after("settingsSetButton"), "iboMainTabs");
    EXPECT_EQ(after("iboOptionsListControls"), "commandMenu");
    EXPECT_EQ(after("ibaOptionsButtonChooseScript"), "iboInfoButtonManual");

    const QList<QWidget*> widgets = german.window.findChildren<QWidget*>();
    int named = 0;
    for (QWidget* widget : widgets) {
        // Spin boxes' own line edits are named through their box.
        if (!isInteractive(widget) || widget->focusPolicy() == Qt::NoFocus ||
            qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
            continue;
        if (qobject_cast<QComboBox*>(widget->parentWidget())) continue;
        if (widget->window() == &german.window) {
            EXPECT_TRUE(reached.count(widget))
                << "not reached by Tab: " << widget->objectName().toStdString();
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_TRUE(accessible) << widget->objectName().toStdString();
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << "no accessible name: " << widget->metaObject()->className() << " "
            << widget->objectName().toStdString();
        ++named;
    }
    EXPECT_GT(named, 60);
}

}  // namespace
}  // namespace quillon
