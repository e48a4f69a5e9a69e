// Observation of property.key paths over the dictionaries the properties hold.
#include "pane/observable_properties.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Reports = std::vector<std::pair<std::string, Value>>;

TEST(observable_properties, reports_assignments_stores_and_removals_in_order) {
    ObservableProperties properties({"ui", "action"});
    Reports reports;
    auto record = [&](const std::string& path, const Value& value) {
        reports.emplace_back(path, value);
    };
    properties.addObserver("action.keyCode", record);
    properties.addObserver("action.command", record);
    properties.addObserver("ui.tabID", record);
    EXPECT_EQ(properties.addObserver("nodot", record), 0u);

    DictRef first = makeDictionary({{"command", Integer(7)}});
    properties.set("action", first);
    EXPECT_EQ(reports, (Reports{{"action.keyCode", Value()}, {"action.command", Integer(7)}}));

    reports.clear();
    first->set("command", Integer(7));
    first->remove("command");
    first->set("other", Integer(1));
    EXPECT_EQ(reports, (Reports{{"action.command", Integer(7)}, {"action.command", Value()}}));

    // The dictionary no longer held is no longer watched.
    reports.clear();
    properties.set("action", nullptr);
    first->set("keyCode", Integer(3));
    EXPECT_EQ(reports, (Reports{{"action.keyCode", Value()}, {"action.command", Value()}}));
}

TEST(observable_properties, observers_may_store_and_assign_while_being_told) {
    ObservableProperties properties({"ui", "action"});
    properties.set("ui", Dictionary::create());
    int depth = 0;
    properties.addObserver("ui.a", [&](const std::string&, const Value& value) {
        ++depth;
        if (value.asInteger() < 3) properties.get("ui")->set("a", Integer(value.asInteger() + 1));
    });
    properties.get("ui")->set("a", Integer(0));
    EXPECT_EQ(depth, 4);
    EXPECT_EQ(properties.valueForKeyPath("ui.a"), Integer(3));

    auto id = properties.addObserver("ui.b", [&](const std::string&, const Value&) {
        properties.set("ui", makeDictionary({{"b", Integer(9)}}));
    });
    properties.removeObserver(id);
    EXPECT_TRUE(properties.setValueForKeyPath("ui.b", Integer(1)));
    EXPECT_FALSE(properties.setValueForKeyPath("action.b", Integer(1)));
    EXPECT_EQ(properties.valueForKeyPath("ui.b"), Integer(1));
}

// A field bound after the pane's own observer must end up showing the text the pane cut, not the
// text typed before the cut.
TEST(observable_properties, an_observer_that_stores_again_overtakes_the_report_for_later_ones) {
    ObservableProperties properties({"action"});
    properties.set("action", Dictionary::create());
    properties.addObserver("action.char", [&](const std::string&, const Value& value) {
        const std::string text = value.asString();
        if (text.size() > 1) properties.get("action")->set("char", text.substr(text.size() - 1));
    });
    std::vector<Value> shown;
    properties.addObserver("action.char",
                           [&](const std::string&, const Value& value) { shown.push_back(value); });
    properties.get("action")->set("char", std::string("ab"));
    EXPECT_EQ(shown, (std::vector<Value>{std::string("b")}));
}

}  // namespace
}  // namespace quillon
