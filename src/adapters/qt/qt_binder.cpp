// The layout's declared bindings and operations, applied to its widgets.
#include "adapters/qt/qt_binder.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVariant>

#include "ui/value_transformers.h"

namespace quillon {

namespace {

// A value as a control's text: numbers as their digits, everything else by its string reading.
QString qt(const Value& value) {
    switch (value.type()) {
        case ValueType::Integer:
            return QString::number(value.asInteger());
        case ValueType::Real:
            return QString::number(value.asReal());
        default:
            return QString::fromStdString(value.asString());
    }
}

std::string stringProperty(const QObject* object, const char* name) {
    const QVariant v = object->property(name);
    return v.isValid() ? v.toString().toStdString() : std::string();
}

QString transformerProperty(const QObject* object, const char* bindingName) {
    return object->property((std::string(bindingName) + binding::kTransformerSuffix).c_str())
        .toString();
}

// The value a control shows: the transformer's result when the binding names one. An unknown
// transformer name shows nothing rather than the untransformed value.
Value shown(const Value& value, const QString& transformerName) {
    if (transformerName.isEmpty()) return value;
    ValueTransformer transformer = valueTransformerForName(transformerName.toStdString());
    return transformer ? transformer(value) : Value();
}

// A page's identifier: its "identifier" property, else its object name.
QString identifierOf(const QWidget* page) {
    const QVariant v = page->property(binding::kIdentifier);
    return v.isValid() ? v.toString() : page->objectName();
}

// The tags of a pop-up's items from its "itemTags" property; items without one keep their index.
void applyItemTags(QComboBox* box) {
    const QStringList tags =
        box->property(binding::kItemTags).toString().split(',', Qt::SkipEmptyParts);
    for (int i = 0; i < box->count(); ++i) {
        bool ok = false;
        const qlonglong tag = i < tags.size() ? tags[i].trimmed().toLongLong(&ok) : i;
        box->setItemData(i, QVariant::fromValue<qlonglong>(ok || i >= tags.size() ? tag : i));
    }
}

}  // namespace

std::string operationOf(const QObject* object) {
    std::string action = stringProperty(object, binding::kAction);
    if (!action.empty()) return action;
    const std::string name = object->objectName().toStdString();
    return name.rfind("iba", 0) == 0 ? name : std::string();
}

Sender senderOf(const QObject* object) {
    Sender sender;
    sender.tag = object->property(binding::kTag).toInt();
    if (auto* box = qobject_cast<const QComboBox*>(object)) {
        const QVariant data = box->currentData();
        sender.selectedTag = data.isValid() ? data.toLongLong() : -1;
        sender.stringValue = box->currentText().toStdString();
    } else if (auto* field = qobject_cast<const QLineEdit*>(object)) {
        sender.stringValue = field->text().toStdString();
    } else if (auto* text = qobject_cast<const QPlainTextEdit*>(object)) {
        sender.stringValue = text->toPlainText().toStdString();
    }
    return sender;
}

Binder::Binder(ObservableProperties& properties, Send send, Probe knows)
    : properties_(properties),
      send_(std::move(send)),
      knows_(std::move(knows)),
      context_(std::make_unique<QObject>()) {}

Binder::~Binder() {
    for (auto id : observers_)
        properties_.removeObserver(id);
}

void Binder::bind(const std::string& keyPath, std::function<void(const Value&)> show) {
    show(properties_.valueForKeyPath(keyPath));
    auto id = properties_.addObserver(
        keyPath, [show](const std::string&, const Value& value) { show(value); });
    if (id) observers_.push_back(id);
}

void Binder::write(const std::string& keyPath, const Value& value) {
    properties_.setValueForKeyPath(keyPath, value);
}

void Binder::bindTree(QObject* root) {
    QList<QObject*> objects{root};
    objects += root->findChildren<QObject*>();
    for (QObject* object : objects) {
        if (!object->isWidgetType() && !qobject_cast<QAction*>(object)) continue;
        if (auto* box = qobject_cast<QComboBox*>(object);
            box && box->property(binding::kItemTags).isValid())
            applyItemTags(box);
        if (auto path = stringProperty(object, binding::kHidden); !path.empty())
            bindFlag(object, path, transformerProperty(object, binding::kHidden), true);
        if (auto path = stringProperty(object, binding::kEnabled); !path.empty())
            bindFlag(object, path, transformerProperty(object, binding::kEnabled), false);
        if (auto path = stringProperty(object, binding::kTitle); !path.empty())
            bindTitle(object, path, transformerProperty(object, binding::kTitle));
        if (auto path = stringProperty(object, binding::kValue); !path.empty())
            bindValue(object, path, transformerProperty(object, binding::kValue));
        if (auto operation = operationOf(object); !operation.empty())
            connectOperation(object, operation);
    }
}

void Binder::bindFlag(QObject* object, const std::string& keyPath, const QString& transformer,
                      bool hidden) {
    QPointer<QObject> guarded(object);
    bind(keyPath, [guarded, transformer, hidden](const Value& value) {
        if (!guarded) return;
        const bool on = shown(value, transformer).asBool();
        if (auto* widget = qobject_cast<QWidget*>(guarded.data()))
            hidden ? widget->setHidden(on) : widget->setEnabled(on);
        else if (auto* action = qobject_cast<QAction*>(guarded.data()))
            hidden ? action->setVisible(!on) : action->setEnabled(on);
    });
}

void Binder::bindTitle(QObject* object, const std::string& keyPath, const QString& transformer) {
    QPointer<QObject> guarded(object);
    bind(keyPath, [guarded, transformer](const Value& value) {
        if (!guarded) return;
        const QString text = qt(shown(value, transformer));
        if (auto* button = qobject_cast<QAbstractButton*>(guarded.data()))
            button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(guarded.data()))
            label->setText(text);
        else if (auto* group = qobject_cast<QGroupBox*>(guarded.data()))
            group->setTitle(text);
        else if (auto* action = qobject_cast<QAction*>(guarded.data()))
            action->setText(text);
    });
}

void Binder::bindValue(QObject* object, const std::string& keyPath, const QString& transformer) {
    // A transformed value only shows: the transformers are one-way.
    const bool writes = transformer.isEmpty();
    QObject* context = context_.get();

    if (auto* radio = qobject_cast<QRadioButton*>(object)) {
        const qlonglong tag = radio->property(binding::kTag).toLongLong();
        QPointer<QRadioButton> guarded(radio);
        radio->setAutoExclusive(false);  // the bound value, not the group, decides which is on
        bind(keyPath, [guarded, transformer, tag](const Value& value) {
            if (!guarded) return;
            QSignalBlocker quiet(guarded.data());
            guarded->setChecked(shown(value, transformer).asInteger() == tag);
        });
        // toggled, not clicked: an assistive tool toggles a button without clicking it. The
        // binding's own changes are made with the button's signals blocked.
        if (writes)
            QObject::connect(radio, &QAbstractButton::toggled, context,
                             [this, keyPath, tag, guarded](bool on) {
                                 if (on) {
                                     write(keyPath, Integer(tag));
                                 } else if (guarded) {
                                     // The chosen button turned off must not leave the group
                                     // without a choice.
                                     QSignalBlocker quiet(guarded.data());
                                     guarded->setChecked(true);
                                 }
                             });
    } else if (auto* check = qobject_cast<QAbstractButton*>(object)) {
        QPointer<QAbstractButton> guarded(check);
        check->setCheckable(true);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            QSignalBlocker quiet(guarded.data());
            guarded->setChecked(shown(value, transformer).asBool());
        });
        // toggled comes from the user (a click, a key or an assistive tool's toggle) only, since
        // the binding's own changes are made with the signals blocked. A record that holds its
        // flags as numbers keeps them so.
        if (writes)
            QObject::connect(check, &QAbstractButton::toggled, context, [this, keyPath](bool on) {
                const bool numeric =
                    properties_.valueForKeyPath(keyPath).type() == ValueType::Integer;
                write(keyPath, numeric ? Value(Integer(on ? 1 : 0)) : Value(on));
            });
    } else if (auto* box = qobject_cast<QComboBox*>(object)) {
        QPointer<QComboBox> guarded(box);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            QSignalBlocker quiet(guarded.data());
            const Value v = shown(value, transformer);
            // A value no item carries shows no item, never a wrong one.
            guarded->setCurrentIndex(
                v.isAbsent() ? -1
                             : guarded->findData(QVariant::fromValue<qlonglong>(v.asInteger())));
        });
        // activated comes from the user only, also when the same item is chosen again. The value
        // is stored before the control's operation runs.
        if (writes)
            QObject::connect(box, &QComboBox::activated, context,
                             [this, guarded, keyPath](int index) {
                                 if (guarded)
                                     write(keyPath, Integer(guarded->itemData(index).toLongLong()));
                             });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(object)) {
        QPointer<QAbstractSlider> guarded(slider);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            QSignalBlocker quiet(guarded.data());
            guarded->setValue(transformerInteger(shown(value, transformer)));
        });
        // A drag stores once, where it ends: each store of a global option saves the file.
        if (writes) {
            QObject::connect(slider, &QAbstractSlider::valueChanged, context,
                             [this, guarded, keyPath](int v) {
                                 if (guarded && !guarded->isSliderDown())
                                     write(keyPath, Integer(v));
                             });
            QObject::connect(slider, &QAbstractSlider::sliderReleased, context,
                             [this, guarded, keyPath] {
                                 if (guarded) write(keyPath, Integer(guarded->value()));
                             });
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(object)) {
        QPointer<QSpinBox> guarded(spin);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            QSignalBlocker quiet(guarded.data());
            guarded->setValue(transformerInteger(shown(value, transformer)));
        });
        if (writes)
            QObject::connect(spin, &QSpinBox::valueChanged, context,
                             [this, keyPath](int v) { write(keyPath, Integer(v)); });
    } else if (auto* field = qobject_cast<QLineEdit*>(object)) {
        QPointer<QLineEdit> guarded(field);
        const QVariant editable = field->property(binding::kEditable);
        const bool edits = writes && (!editable.isValid() || editable.toBool());
        if (!edits) field->setReadOnly(true);
        // Showing the text the user has just typed would move the cursor; equal text stays.
        bind(keyPath, [guarded, transformer](const Value& value) {
            const QString text = qt(shown(value, transformer));
            if (guarded && guarded->text() != text) guarded->setText(text);
        });
        if (edits)
            QObject::connect(
                field, &QLineEdit::textEdited, context,
                [this, keyPath](const QString& text) { write(keyPath, text.toStdString()); });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(object)) {
        QPointer<QPlainTextEdit> guarded(text);
        auto showing = std::make_shared<bool>(false);
        bind(keyPath, [guarded, transformer, showing](const Value& value) {
            const QString shownText = qt(shown(value, transformer));
            if (!guarded || guarded->toPlainText() == shownText) return;
            *showing = true;
            guarded->setPlainText(shownText);
            *showing = false;
        });
        if (writes)
            QObject::connect(text, &QPlainTextEdit::textChanged, context,
                             [this, guarded, keyPath, showing] {
                                 if (guarded && !*showing)
                                     write(keyPath, guarded->toPlainText().toStdString());
                             });
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        QPointer<QLabel> guarded(label);
        label->setTextFormat(Qt::PlainText);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (guarded) guarded->setText(qt(shown(value, transformer)));
        });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
        QPointer<QTabWidget> guarded(tabs);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            const QString id = qt(shown(value, transformer));
            for (int i = 0; i < guarded->count(); ++i)
                if (identifierOf(guarded->widget(i)) == id) {
                    QSignalBlocker quiet(guarded.data());
                    guarded->setCurrentIndex(i);
                }
        });
        if (writes)
            QObject::connect(tabs, &QTabWidget::currentChanged, context,
                             [this, guarded, keyPath](int i) {
                                 if (guarded && i >= 0)
                                     write(keyPath, identifierOf(guarded->widget(i)).toStdString());
                             });
    } else if (auto* stack = qobject_cast<QStackedWidget*>(object)) {
        QPointer<QStackedWidget> guarded(stack);
        bind(keyPath, [guarded, transformer](const Value& value) {
            if (!guarded) return;
            const QString id = qt(shown(value, transformer));
            QWidget* fallback = nullptr;
            for (int i = 0; i < guarded->count(); ++i) {
                QWidget* page = guarded->widget(i);
                if (identifierOf(page) == id) return guarded->setCurrentWidget(page);
                if (identifierOf(page) == "empty") fallback = page;
            }
            // A name without a page shows the empty page rather than the last command's controls.
            if (fallback) guarded->setCurrentWidget(fallback);
        });
    }
}

void Binder::connectOperation(QObject* object, const std::string& operation) {
    if (knows_ && !knows_(operation)) {
        if (auto* widget = qobject_cast<QWidget*>(object)) widget->setEnabled(false);
        if (auto* action = qobject_cast<QAction*>(object)) action->setEnabled(false);
        return;
    }
    QPointer<QObject> guarded(object);
    auto fire = [this, guarded, operation] {
        if (guarded) send_(operation, senderOf(guarded.data()));
    };
    QObject* context = context_.get();
    if (auto* action = qobject_cast<QAction*>(object))
        QObject::connect(action, &QAction::triggered, context, fire);
    else if (auto* box = qobject_cast<QComboBox*>(object))
        QObject::connect(box, &QComboBox::activated, context, fire);
    else if (auto* field = qobject_cast<QLineEdit*>(object))
        QObject::connect(field, &QLineEdit::returnPressed, context, fire);
    else if (auto* button = qobject_cast<QAbstractButton*>(object))
        QObject::connect(button, &QAbstractButton::clicked, context, fire);
    else
        return;
    ++connections_;
}

}  // namespace quillon
