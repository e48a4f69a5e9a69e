// The Qt Widgets outlets, the host's panels and modifiers, and the key-event hook against their
// ports.
#include "adapters/qt/qt_outlets.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

#include "adapters/qt/qt_key_event_hook.h"
#include "adapters/qt/qt_pane_host.h"
#include "testing/temp_dir.h"
#include "ui/hyperlink.h"
#include "widgets_test_support.h"

namespace quillon {
namespace {

using testing::ensureWidgetsApplication;
using testing::runEventsUntil;

TEST(qt_pop_up_button, keeps_item_tags_and_selects_by_tag) {
    ensureWidgetsApplication();
    QComboBox box;
    QtPopUpButton menu(&box);
    EXPECT_EQ(menu.selectedTag(), -1);
    menu.addItem("Global", 10);
    menu.addItem("Mail", 1000);
    menu.addItem("Mail", 0x1056);  // titles may repeat; tags tell the items apart
    EXPECT_EQ(menu.numberOfItems(), 3);
    EXPECT_EQ(menu.selectedTag(), 10) << "the first item is selected once there is one";
    EXPECT_TRUE(menu.selectItemWithTag(0x1056));
    EXPECT_EQ(box.currentIndex(), 2);
    EXPECT_EQ(menu.itemTitle(2), "Mail");
    EXPECT_EQ(menu.itemTag(1), 1000);
    EXPECT_FALSE(menu.selectItemWithTag(7));
    EXPECT_EQ(menu.selectedTag(), 0x1056) << "an unknown tag leaves the selection alone";
    menu.removeAllItems();
    EXPECT_EQ(menu.numberOfItems(), 0);
    EXPECT_EQ(menu.selectedTag(), -1);
}

// Three rows, titled by the data source; remembers what the delegate heard.
class ThreeRows : public OutlineViewDataSource, public OutlineViewDelegate {
public:
    int outlineViewNumberOfChildrenOfItem(OutlineView&, const Value& item) override {
        return item.isAbsent() ? rows : 0;
    }
    bool outlineViewIsItemExpandable(OutlineView&, const Value& item) override {
        return item.isAbsent();
    }
    Value outlineViewChildOfItem(OutlineView&, int index, const Value&) override {
        return makeDictionary({{"name", "Row " + std::to_string(index)}});
    }
    Value outlineViewObjectValue(OutlineView&, const std::string&, const Value& item) override {
        return item.dictionary()->get("name");
    }
    bool outlineViewShouldEditTableColumn(OutlineView&, const std::string&, const Value&) override {
        return false;
    }
    void outlineViewSelectionDidChange(OutlineView& view) override {
        heard.push_back(view.selectedRow());
    }

    int rows = 3;
    std::vector<int> heard;
};

TEST(qt_outline_view, shows_the_data_source_rows_and_tells_the_delegate_of_selection_changes) {
    ensureWidgetsApplication();
    QTreeWidget tree;
    QtOutlineView view(&tree);
    ThreeRows rows;
    view.setDataSource(&rows);
    view.setDelegate(&rows);
    view.reloadData();
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    EXPECT_EQ(tree.topLevelItem(2)->text(0), "Row 2");
    EXPECT_EQ(view.itemAtRow(1).dictionary()->string("name"), "Row 1");
    EXPECT_EQ(view.selectedRow(), -1);
    EXPECT_EQ(rows.heard, (std::vector<int>{-1})) << "every reload reports the selection it leaves";

    view.selectRow(1);
    tree.setCurrentItem(tree.topLevelItem(2));  // as a click does
    EXPECT_EQ(rows.heard, (std::vector<int>{-1, 1, 2}));

    // The kept row may be another control now (another device's list): it is reported again.
    view.reloadData();
    EXPECT_EQ(view.selectedRow(), 2) << "a row that still exists stays selected";
    EXPECT_EQ(rows.heard, (std::vector<int>{-1, 1, 2, 2}));

    rows.rows = 1;
    view.reloadData();
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(view.selectedRow(), -1);
    EXPECT_EQ(rows.heard, (std::vector<int>{-1, 1, 2, 2, -1}))
        << "the delegate hears the selection went";

    view.setDelegate(nullptr);
    view.selectRow(0);
    EXPECT_EQ(rows.heard.size(), 5u);
}

TEST(qt_outline_view, keeps_rows_and_selection_until_it_has_a_tree_and_then_shows_them) {
    ensureWidgetsApplication();
    QtOutlineView view;  // the Buttons tab is not made yet
    ThreeRows rows;
    view.setDataSource(&rows);
    view.setDelegate(&rows);
    view.reloadData();
    view.selectRow(2);
    view.selectRow(7);  // no such row: nothing selected
    view.selectRow(1);
    view.reloadData();
    EXPECT_EQ(view.selectedRow(), 1);
    EXPECT_EQ(view.itemAtRow(1).dictionary()->string("name"), "Row 1");
    EXPECT_EQ(rows.heard, (std::vector<int>{-1, 2, -1, 1, 1}));

    QTreeWidget tree;
    view.attach(&tree);
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "Row 0");
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(1)) << "the pane's selection shows";
    EXPECT_EQ(rows.heard.size(), 5u) << "showing them changes no selection";
    tree.setCurrentItem(tree.topLevelItem(0));  // as a click does
    EXPECT_EQ(rows.heard.back(), 0);
}

TEST(qt_outlets, tab_views_text_fields_and_views_follow_their_widgets) {
    ensureWidgetsApplication();
    QStackedWidget stack;
    stack.addWidget(new QWidget);
    stack.addWidget(new QWidget);
    QtTabView pages(&stack);
    pages.selectTabViewItemAtIndex(1);
    EXPECT_EQ(stack.currentIndex(), 1);
    EXPECT_EQ(pages.selectedIndex(), 1);

    QWidget window;
    QLineEdit edit(&window);
    edit.setPlaceholderText("Settings for @");
    QtTextField field(&edit, 4);
    field.setStringValue("Mail");
    EXPECT_EQ(edit.text(), "Mail");
    EXPECT_EQ(field.placeholderString(), "Settings for @");
    EXPECT_EQ(field.tag(), 4);
    EXPECT_FALSE(field.hasFieldEditor());

    QtView parent(&window);
    auto* child = new QWidget;  // owned by window once added
    QtView childView(child);
    childView.setFrame(Rect{0, 0, 120, 80});
    parent.addSubview(childView);
    EXPECT_EQ(child->parentWidget(), &window);
    EXPECT_EQ(childView.frame(), (Rect{0, 0, 120, 80}));
    childView.setHidden(true);
    EXPECT_TRUE(childView.isHidden());
}

TEST(qt_button, link_titles_make_a_flat_underlined_button_coloured_when_pressed) {
    ensureWidgetsApplication();
    QPushButton push("Manual");
    QtButton button(&push, 1);
    button.setAttributedTitle(newHyperlink(button.title(), false));
    button.setAttributedAlternateTitle(newHyperlink(button.title(), true));
    EXPECT_EQ(push.text(), "Manual");
    EXPECT_TRUE(push.isFlat());
    const QString css = push.styleSheet();
    EXPECT_TRUE(css.contains("text-decoration: underline")) << css.toStdString();
    EXPECT_TRUE(
        css.contains("color: " + QString::fromStdString(styleSheetColor({0.1, 0.1, 1.0, 1.0}))))
        << css.toStdString();
    EXPECT_TRUE(css.contains(":pressed { color: " +
                             QString::fromStdString(styleSheetColor({1.0, 0.1, 0.1, 1.0}))))
        << css.toStdString();
    EXPECT_EQ(styleSheetColor({0.1, 0.1, 1.0, 1.0}), "rgba(26, 26, 255, 255)");
    EXPECT_EQ(styleSheetColor({2.0, -1.0, 0.5, 0.0}), "rgba(255, 0, 128, 0)");
}

class PaneHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.setMainView(&window);
        ok = new QPushButton("OK", dialog);
        cancel = new QPushButton("Cancel", dialog);
    }
    // Clicks button once the panel runs; the click ends the panel as the pane's button action does.
    void clickLater(QPushButton* button, int code) {
        QObject::connect(button, &QPushButton::clicked, [this, code] { host.stopModal(code); });
        QTimer::singleShot(0, button, [button] { button->click(); });
    }

    void TearDown() override {
        if (!dialog->parent()) delete dialog;
    }

    // Widgets need the application before any of them is made.
    struct Application {
        Application() { ensureWidgetsApplication(); }
    } application;
    testing::TempDir dir;
    QtPaneHost host{std::make_shared<Bundle>(dir.path()), [] { return std::uint16_t{5}; }};
    QWidget window;
    QDialog* dialog = new QDialog;  // the host makes the window its parent
    QtPanel panel{dialog};
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

TEST_F(PaneHostTest, a_panel_runs_window_modal_until_a_button_stops_it_with_its_code) {
    bool visibleWhileRunning = false;
    QTimer::singleShot(0, dialog, [&] { visibleWhileRunning = dialog->isVisible(); });
    clickLater(ok, 1);
    EXPECT_EQ(host.runModal(panel), 1);
    EXPECT_TRUE(visibleWhileRunning);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->parentWidget(), &window);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);

    clickLater(cancel, 0);
    EXPECT_EQ(host.runModal(panel), 0);
    host.stopModal(1);  // nothing runs: nothing happens
    EXPECT_EQ(host.systemExtensionState(), 5);
    EXPECT_EQ(host.mainView()->frame(), QtView(&window).frame());
}

TEST_F(PaneHostTest, window_focus_changes_of_any_window_reach_the_observers) {
    int became = 0, resigned = 0;
    auto id = host.addWindowKeyObservers([&] { ++became; }, [&] { ++resigned; });
    QWidget other;
    window.show();
    other.show();
    window.activateWindow();
    ASSERT_TRUE(runEventsUntil([&] { return host.isWindowKey(); }));
    other.activateWindow();
    ASSERT_TRUE(runEventsUntil([&] { return !host.isWindowKey(); }));
    EXPECT_GE(became, 2);
    EXPECT_GE(resigned, 1) << "the pane's window lost key status to another window";

    host.removeWindowKeyObservers(id);
    const int before = became + resigned;
    window.activateWindow();
    ASSERT_TRUE(runEventsUntil([&] { return host.isWindowKey(); }));
    EXPECT_EQ(became + resigned, before);
}

TEST_F(PaneHostTest, choosers_answer_later_through_their_completion) {
    window.show();
    std::vector<std::pair<bool, std::vector<std::string>>> answers;
    auto record = [&](bool chosen, const std::vector<std::string>& paths) {
        answers.emplace_back(chosen, paths);
    };
    host.runSavePanel(
        SavePanelOptions{"Export settings", dir.path().string(), "Mail", {"quillonMouseSettings"}},
        record);
    EXPECT_TRUE(answers.empty()) << "never inside the call";
    auto* chooser = window.findChild<QFileDialog*>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowModality(), Qt::WindowModal);
    static_cast<QDialog*>(chooser)->accept();  // as the Save button does
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].first);
    EXPECT_EQ(answers[0].second, std::vector<std::string>{dir.file("Mail.quillonMouseSettings")});
    ASSERT_TRUE(runEventsUntil([&] { return window.findChild<QFileDialog*>() == nullptr; }))
        << "a closed chooser goes away";

    host.runOpenPanel(
        OpenPanelOptions{"Import settings", dir.path().string(), {"quillonMouseSettings"}}, record);
    ASSERT_TRUE(runEventsUntil([&] { return window.findChild<QFileDialog*>() != nullptr; }));
    window.findChild<QFileDialog*>()->reject();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[1].first);
    EXPECT_TRUE(answers[1].second.empty());
}

TEST(qt_pane_host, reads_modifier_keys_in_the_records_numbering) {
    EXPECT_EQ(modifierFlagsFromQt(Qt::NoModifier), 0u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::MetaModifier), 0x0100u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ShiftModifier), 0x0200u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::AltModifier), 0x0800u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier), 0x1000u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier),
              0x1800u);
}

TEST(qt_key_event_hook, routes_key_events_through_its_filter_only_between_two_exchanges) {
    ensureWidgetsApplication();
    QLineEdit edit;
    QtKeyEventHook hook;
    EXPECT_FALSE(hook.isRouting());
    testing::typeKey(&edit, Qt::Key_A, "a");
    EXPECT_EQ(hook.keyEventsSeen(), 0);

    hook.exchangeKeyEventMethods();
    EXPECT_TRUE(hook.isRouting());
    testing::typeKey(&edit, Qt::Key_B, "b");
    const int seen = hook.keyEventsSeen();
    EXPECT_GE(seen, 2) << "the press and the release, after the shortcut check";
    EXPECT_EQ(edit.text(), "ab") << "the filter lets every key through";

    hook.exchangeKeyEventMethods();
    EXPECT_FALSE(hook.isRouting());
    testing::typeKey(&edit, Qt::Key_C, "c");
    EXPECT_EQ(hook.keyEventsSeen(), seen);
    EXPECT_EQ(edit.text(), "abc");
}

}  // namespace
}  // namespace quillon
