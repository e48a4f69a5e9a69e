// The user's login items: the applications started at every login, in their list order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// One entry of the login items, as it was when the snapshot was taken.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // The file the item starts, found without user interaction; nothing when it cannot be resolved.
    virtual std::optional<std::string> resolve() = 0;
    // The name shown for the item; nothing when it has none.
    virtual std::optional<std::string> displayName() = 0;
};

// An open list of login items.
class LoginItemList {
public:
    virtual ~LoginItemList() = default;
    // The items in list order; nothing when the list cannot be read.
    virtual std::optional<std::vector<std::shared_ptr<LoginItem>>> snapshot() = 0;
    // Removes item from the list; false on failure.
    virtual bool remove(LoginItem& item) = 0;
    // Appends an item that starts the file at path, at the end of the list; nullptr on failure.
    virtual std::shared_ptr<LoginItem> appendLast(const std::string& path) = 0;
};

class LoginItems {
public:
    virtual ~LoginItems() = default;
    // Opens the user's login items; nullptr when they are not available.
    virtual std::unique_ptr<LoginItemList> open() = 0;
};

}  // namespace quillon
