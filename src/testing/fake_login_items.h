// An in-memory list of login items with scripted failures, standing in for the user's session.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/login_items.h"

namespace quillon::testing {

class FakeLoginItem : public LoginItem {
public:
    FakeLoginItem(std::optional<std::string> itemLocation, std::optional<std::string> itemName)
        : location(std::move(itemLocation)), name(std::move(itemName)) {}

    std::optional<std::string> resolve() override { return location; }
    std::optional<std::string> displayName() override { return name; }

    // Where the item resolves to; nothing makes it unresolvable.
    std::optional<std::string> location;
    std::optional<std::string> name;
    // Removing this item fails, leaving it in the list.
    bool removalFails = false;
};

class FakeLoginItems : public LoginItems {
public:
    // Appends an item to the list and returns it, so a test can script its failures.
    std::shared_ptr<FakeLoginItem> add(std::optional<std::string> location,
                                       std::optional<std::string> name);

    std::unique_ptr<LoginItemList> open() override;

    // The list as it stands, in order.
    std::vector<std::shared_ptr<FakeLoginItem>> items;
    // Scripted failures: open() gives nothing; snapshot() gives nothing; appendLast() fails.
    bool unavailable = false;
    bool snapshotFails = false;
    bool appendFails = false;
    // How often the list was opened, and the paths appended and the names removed, in order.
    int openCount = 0;
    std::vector<std::string> appended;
    std::vector<std::optional<std::string>> removedNames;
};

}  // namespace quillon::testing
