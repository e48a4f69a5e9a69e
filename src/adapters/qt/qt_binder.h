// The one binder of the window: the bindings that a loaded layout declares as dynamic properties
// of its widgets, applied over the pane's key-path observation, and its controls connected to the
// pane's operations by name.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pane/observable_properties.h"
#include "platform/outlets.h"

class QAction;
class QObject;
class QWidget;

namespace quillon {

// The dynamic properties a layout declares on a widget or action.
namespace binding {
inline constexpr char kValue[] = "bindValue";      // key path shown and edited by the control
inline constexpr char kHidden[] = "bindHidden";    // hidden while the value reads true
inline constexpr char kEnabled[] = "bindEnabled";  // enabled while the value reads true
inline constexpr char kTitle[] = "bindTitle";      // the control's text or title
inline constexpr char kTransformerSuffix[] = "Transformer";  // "bindHiddenTransformer", ...
inline constexpr char kAction[] = "action";                  // the operation the control sends
inline constexpr char kTag[] = "tag";                        // the sender's tag
inline constexpr char kItemTags[] = "itemTags";              // a pop-up's item tags, "0,1,2"
inline constexpr char kIdentifier[] = "identifier";          // a tab's or stacked page's identifier
inline constexpr char kEditable[] = "editable";              // false: a bound line edit only shows
}  // namespace binding

// Made after the pane and destroyed before it (it observes the pane's properties); the widgets
// may go first. Showing a value is never reported as a user's edit; a user's edit is a store
// through the key path, so the pane's change handler sees it as any store.
class Binder {
public:
    // send runs an operation by name for a control; it answers false for a name it does not know.
    using Send = std::function<bool(const std::string& operation, const Sender& sender)>;
    using Probe = std::function<bool(const std::string& operation)>;

    Binder(ObservableProperties& properties, Send send, Probe knows);
    ~Binder();
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    // Applies what the widgets and actions under root (root included) declare. A control naming an
    // operation nobody knows is disabled rather than left to do nothing when pressed.
    void bindTree(QObject* root);

    // The general form, for what no property can say: show runs now and at every report.
    void bind(const std::string& keyPath, std::function<void(const Value&)> show);
    // Stores value at keyPath, as a user's edit does.
    void write(const std::string& keyPath, const Value& value);

    // How many bindings and operation connections bindTree made, for tests and diagnostics.
    int bindingCount() const { return static_cast<int>(observers_.size()); }
    int connectionCount() const { return connections_; }

private:
    void bindValue(QObject* object, const std::string& keyPath, const QString& transformer);
    void bindFlag(QObject* object, const std::string& keyPath, const QString& transformer,
                  bool hidden);
    void bindTitle(QObject* object, const std::string& keyPath, const QString& transformer);
    void connectOperation(QObject* object, const std::string& operation);

    ObservableProperties& properties_;
    Send send_;
    Probe knows_;
    int connections_ = 0;
    std::vector<ObservableProperties::ObserverId> observers_;
    std::unique_ptr<QObject> context_;  // receiver of the widgets' signals; dies with the binder
};

// The operation a control sends: its "action" property, else its object name when that starts
// with "iba"; empty for none.
std::string operationOf(const QObject* object);

// The sender an operation sees for a control: its tag, a pop-up's selected item tag, a field's
// text.
Sender senderOf(const QObject* object);

}  // namespace quillon
