// Widgets bound to the pane's state key paths.
#include "adapters/qt/qt_bindings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QTabWidget>

namespace quillon {

namespace {

QString qt(const Value& value) { return QString::fromStdString(value.asString()); }

}  // namespace

Bindings::Bindings(ObservableProperties& properties)
    : properties_(properties), context_(std::make_unique<QObject>()) {}

Bindings::~Bindings() {
    for (auto id : observers_) properties_.removeObserver(id);
}

void Bindings::bind(const std::string& keyPath, std::function<void(const Value&)> show) {
    show(properties_.valueForKeyPath(keyPath));
    auto id = properties_.addObserver(keyPath, [show](const std::string&, const Value& value) { show(value); });
    if (id) observers_.push_back(id);
}

void Bindings::write(const std::string& keyPath, const Value& value) {
    properties_.setValueForKeyPath(keyPath, value);
}

void Bindings::bindText(QLabel* label, const std::string& keyPath) {
    QPointer<QLabel> guarded(label);
    bind(keyPath, [guarded](const Value& value) {
        if (guarded) guarded->setText(qt(value));
    });
}

void Bindings::bindText(QLineEdit* field, const std::string& keyPath, bool editable) {
    QPointer<QLineEdit> guarded(field);
    field->setReadOnly(!editable);
    // Showing the text the user has just typed would move the cursor; equal text is left alone.
    bind(keyPath, [guarded](const Value& value) {
        if (guarded && guarded->text() != qt(value)) guarded->setText(qt(value));
    });
    if (editable)
        QObject::connect(field, &QLineEdit::textEdited, context_.get(),
                         [this, keyPath](const QString& text) { write(keyPath, text.toStdString()); });
}

void Bindings::bindHidden(QWidget* widget, const std::string& keyPath, bool hiddenWhenTrue) {
    QPointer<QWidget> guarded(widget);
    bind(keyPath, [guarded, hiddenWhenTrue](const Value& value) {
        if (guarded) guarded->setHidden(value.asBool() == hiddenWhenTrue);
    });
}

void Bindings::bindTitle(QAbstractButton* button, const std::string& keyPath, bool hideWhenAbsent) {
    QPointer<QAbstractButton> guarded(button);
    bind(keyPath, [guarded, hideWhenAbsent](const Value& value) {
        if (!guarded) return;
        guarded->setText(qt(value));
        if (hideWhenAbsent) guarded->setHidden(value.isAbsent());
    });
}

void Bindings::bindChecked(QAbstractButton* checkBox, const std::string& keyPath) {
    QPointer<QAbstractButton> guarded(checkBox);
    checkBox->setCheckable(true);
    bind(keyPath, [guarded](const Value& value) {
        if (!guarded) return;
        QSignalBlocker quiet(guarded.data());
        guarded->setChecked(value.asBool());
    });
    // clicked comes from the user only; toggled would also come from showing a value.
    QObject::connect(checkBox, &QAbstractButton::clicked, context_.get(),
                     [this, keyPath](bool checked) { write(keyPath, checked); });
}

void Bindings::bindSelectedTag(QComboBox* box, const std::string& keyPath) {
    QPointer<QComboBox> guarded(box);
    bind(keyPath, [guarded](const Value& value) {
        if (!guarded || value.isAbsent()) return;
        int index = guarded->findData(QVariant::fromValue<qlonglong>(value.asInteger()));
        if (index < 0) return;
        QSignalBlocker quiet(guarded.data());
        guarded->setCurrentIndex(index);
    });
    // activated comes from the user only, also when the same item is chosen again.
    QObject::connect(box, &QComboBox::activated, context_.get(), [this, guarded, keyPath](int index) {
        if (guarded) write(keyPath, Integer(guarded->itemData(index).toLongLong()));
    });
}

void Bindings::bindTabIdentifier(QTabWidget* tabs, const std::string& keyPath,
                                 std::vector<std::string> identifiers) {
    QPointer<QTabWidget> guarded(tabs);
    bind(keyPath, [guarded, identifiers](const Value& value) {
        if (!guarded) return;
        for (std::size_t i = 0; i < identifiers.size(); ++i)
            if (identifiers[i] == value.asString()) {
                QSignalBlocker quiet(guarded.data());
                guarded->setCurrentIndex(static_cast<int>(i));
            }
    });
    QObject::connect(tabs, &QTabWidget::currentChanged, context_.get(), [this, identifiers, keyPath](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < identifiers.size())
            write(keyPath, identifiers[static_cast<std::size_t>(index)]);
    });
}

}  // namespace quillon
