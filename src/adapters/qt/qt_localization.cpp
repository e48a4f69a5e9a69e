// Localizing the texts of a loaded layout.
#include "adapters/qt/qt_localization.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

namespace quillon {

namespace {

template <class Get, class Set>
void localizeText(const Localize& localize, Get get, Set set) {
    const QString text = get();
    if (!text.isEmpty()) set(localize(text));
}

void localizeWidget(QWidget* w, const Localize& l) {
    localizeText(
        l, [w] { return w->windowTitle(); }, [w](const QString& t) { w->setWindowTitle(t); });
    localizeText(
        l, [w] { return w->toolTip(); }, [w](const QString& t) { w->setToolTip(t); });
    localizeText(
        l, [w] { return w->accessibleName(); }, [w](const QString& t) { w->setAccessibleName(t); });
    localizeText(
        l, [w] { return w->accessibleDescription(); },
        [w](const QString& t) { w->setAccessibleDescription(t); });
    if (auto* label = qobject_cast<QLabel*>(w))
        localizeText(
            l, [label] { return label->text(); }, [label](const QString& t) { label->setText(t); });
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        localizeText(
            l, [button] { return button->text(); },
            [button](const QString& t) { button->setText(t); });
    if (auto* group = qobject_cast<QGroupBox*>(w))
        localizeText(
            l, [group] { return group->title(); },
            [group](const QString& t) { group->setTitle(t); });
    if (auto* field = qobject_cast<QLineEdit*>(w))
        localizeText(
            l, [field] { return field->placeholderText(); },
            [field](const QString& t) { field->setPlaceholderText(t); });
    if (auto* text = qobject_cast<QPlainTextEdit*>(w))
        localizeText(
            l, [text] { return text->placeholderText(); },
            [text](const QString& t) { text->setPlaceholderText(t); });
    if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        localizeText(
            l, [spin] { return spin->suffix(); }, [spin](const QString& t) { spin->setSuffix(t); });
        localizeText(
            l, [spin] { return spin->prefix(); }, [spin](const QString& t) { spin->setPrefix(t); });
    }
    if (auto* box = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < box->count(); ++i)
            localizeText(
                l, [box, i] { return box->itemText(i); },
                [box, i](const QString& t) { box->setItemText(i, t); });
    if (auto* tabs = qobject_cast<QTabWidget*>(w))
        for (int i = 0; i < tabs->count(); ++i) {
            localizeText(
                l, [tabs, i] { return tabs->tabText(i); },
                [tabs, i](const QString& t) { tabs->setTabText(i, t); });
            localizeText(
                l, [tabs, i] { return tabs->tabToolTip(i); },
                [tabs, i](const QString& t) { tabs->setTabToolTip(i, t); });
        }
    if (auto* tree = qobject_cast<QTreeWidget*>(w); tree && tree->headerItem())
        for (int c = 0; c < tree->columnCount(); ++c) {
            QTreeWidgetItem* header = tree->headerItem();
            localizeText(
                l, [header, c] { return header->text(c); },
                [header, c](const QString& t) { header->setText(c, t); });
        }
}

}  // namespace

void localizeTree(QObject* root, const Localize& localize) {
    QList<QObject*> objects{root};
    objects += root->findChildren<QObject*>();
    for (QObject* object : objects) {
        if (auto* widget = qobject_cast<QWidget*>(object)) localizeWidget(widget, localize);
        if (auto* action = qobject_cast<QAction*>(object)) {
            localizeText(
                localize, [action] { return action->text(); },
                [action](const QString& t) { action->setText(t); });
            localizeText(
                localize, [action] { return action->toolTip(); },
                [action](const QString& t) { action->setToolTip(t); });
        }
    }
}

}  // namespace quillon
