// Login items as XDG autostart entries: one *.desktop file per item in the autostart folder.
#pragma once

#include <memory>
#include <string>

#include "platform/login_items.h"

namespace quillon {

// The items are the *.desktop files of the folder in file-name order (byte order), except
// entries the user turned off (Hidden=true, which by the autostart rules means "removed", or
// X-GNOME-Autostart-enabled=false). An item's display name is the entry's Name; its location
// is the program its Exec starts, made absolute through PATH, and it resolves only while that
// program exists. A program inside "X.app/Contents/MacOS/"
// resolves to the bundle folder X.app, so an item appended for a bundle resolves to the path it
// was appended with. Removal deletes the file. Appending writes a new file named after the
// application ("quillonmousehelper.desktop", then "-2", "-3" ... when taken) whose Exec starts
// the bundle's program (for an X.app path), the Exec of a desktop entry (for a *.desktop path),
// or the file at the path itself. An application the user turned off stays off: when a
// turned-off entry has the file name appending would use, the application's name or its
// program, appending writes nothing and gives that entry (which the list does not show).
class AutostartLoginItems : public LoginItems {
public:
    // folder: the autostart folder; it need not exist yet (appending creates it).
    explicit AutostartLoginItems(std::string folder = defaultFolder());

    // $XDG_CONFIG_HOME/autostart when XDG_CONFIG_HOME is an absolute path, else
    // $HOME/.config/autostart; "" when neither is known.
    static std::string defaultFolder();

    std::unique_ptr<LoginItemList> open() override;

private:
    std::string folder_;
};

}  // namespace quillon
