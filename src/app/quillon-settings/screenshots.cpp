// Pictures of the window's pages and panels.
#include "app/quillon-settings/screenshots.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "app/quillon-settings/settings_window.h"
#include "pane/quillon_mouse_pane.h"

namespace quillon {

namespace {

struct Shot {
    QString name;
    std::function<QWidget*()> show;  // brings the page up and answers what to picture
};

}  // namespace

void saveScreenshots(SettingsWindow& window, QuillonMousePane& pane, const QString& dir,
                     std::function<void(bool ok)> done) {
    QDir().mkpath(dir);
    auto shots = std::make_shared<std::vector<Shot>>();
    auto* pages = window.find<QStackedWidget>("iboPaneTabs");
    auto* tabs = window.find<QTabWidget>("iboMainTabs");
    for (int i = 0; tabs && i < tabs->count(); ++i) {
        const QString id = tabs->widget(i)->property("identifier").toString();
        shots->push_back({"tab-" + id, [&window, pages, tabs, i] {
                              if (pages) pages->setCurrentIndex(0);
                              tabs->setCurrentIndex(i);
                              // The buttons tab shows its editor for the first control.
                              if (auto* list = window.find<QTreeWidget>("iboOptionsListControls");
                                  list && list->topLevelItemCount() > 0 && !list->currentItem())
                                  list->setCurrentItem(list->topLevelItem(0));
                              return static_cast<QWidget*>(&window);
                          }});
    }
    if (pages && pages->count() > 1)
        shots->push_back({"driver-status", [&window, pages] {
                              pages->setCurrentIndex(1);
                              return static_cast<QWidget*>(&window);
                          }});
    for (QDialog* panel : window.panels())
        shots->push_back(
            {"panel-" + panel->objectName(), [&pane, pages, panel] {
                 if (pages) pages->setCurrentIndex(0);
                 // The message panel shows a message a user meets.
                 if (panel->objectName() == "iboModalPanel" && pane.ui()) {
                     pane.ui()->set("modalMessage",
                                    pane.fPrefPaneBundle->localizedString(
                                        "Main button reassigned to Mouse Click", "Localizable"));
                     pane.ui()->set("modalOK",
                                    pane.fPrefPaneBundle->localizedString("OK", "Localizable"));
                 }
                 panel->adjustSize();
                 panel->show();
                 return static_cast<QWidget*>(panel);
             }});

    auto ok = std::make_shared<bool>(true);
    // The step in flight holds the sequence alive; the sequence itself only refers to itself.
    auto next = std::make_shared<std::function<void(std::size_t)>>();
    *next = [shots, dir, ok, done, self = std::weak_ptr(next)](std::size_t index) {
        if (index == shots->size()) {
            done(*ok);
            return;
        }
        QWidget* target = (*shots)[index].show();
        // Let the page lay itself out and paint before it is pictured.
        QTimer::singleShot(300, target, [shots, dir, ok, next = self.lock(), index, target] {
            const QString file = QDir(dir).filePath((*shots)[index].name + ".png");
            if (!target->grab().save(file)) *ok = false;
            if (auto* dialog = qobject_cast<QDialog*>(target)) dialog->hide();
            (*next)(index + 1);
        });
    };
    (*next)(0);
}

}  // namespace quillon
