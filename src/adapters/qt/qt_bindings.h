// Widgets bound to the pane's state key paths ("ui.deviceInfo"): shown from the state at once and
// at every change, and written back through the same path when the user edits them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pane/observable_properties.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QObject;
class QTabWidget;
class QWidget;

namespace quillon {

// Made after the pane and destroyed before it (it observes the pane's properties); the widgets
// may go first. Showing a value never counts as a user's edit.
class Bindings {
public:
    explicit Bindings(ObservableProperties& properties);
    ~Bindings();
    Bindings(const Bindings&) = delete;
    Bindings& operator=(const Bindings&) = delete;

    // The general form: show runs now with the value at keyPath and again at every report.
    void bind(const std::string& keyPath, std::function<void(const Value&)> show);
    // A user's edit: stores value at keyPath, so the pane reacts as to any store.
    void write(const std::string& keyPath, const Value& value);

    // The label shows the text at keyPath.
    void bindText(QLabel* label, const std::string& keyPath);
    // The field shows the text at keyPath; an editable field writes every edit back.
    void bindText(QLineEdit* field, const std::string& keyPath, bool editable);
    // The widget is hidden while the value at keyPath reads true (false with hiddenWhenTrue off).
    void bindHidden(QWidget* widget, const std::string& keyPath, bool hiddenWhenTrue = true);
    // The button's title is the text at keyPath; with hideWhenAbsent it is hidden while absent.
    void bindTitle(QAbstractButton* button, const std::string& keyPath, bool hideWhenAbsent);
    // A check box shows the boolean at keyPath; the user's clicks write true or false.
    void bindChecked(QAbstractButton* checkBox, const std::string& keyPath);
    // The item whose tag (item data) is the integer at keyPath is selected; choosing an item
    // writes its tag as an integer.
    void bindSelectedTag(QComboBox* box, const std::string& keyPath);
    // Tab i is selected while the text at keyPath is identifiers[i]; choosing a tab writes its
    // identifier. A text naming no tab leaves the selection alone.
    void bindTabIdentifier(QTabWidget* tabs, const std::string& keyPath,
                           std::vector<std::string> identifiers);

private:
    ObservableProperties& properties_;
    std::vector<ObservableProperties::ObserverId> observers_;
    std::unique_ptr<QObject> context_;  // receiver of the widgets' signals; dies with the bindings
};

}  // namespace quillon
