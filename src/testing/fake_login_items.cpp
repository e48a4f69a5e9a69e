// The in-memory login items: snapshots share the item objects, as the session's list does.
#include "testing/fake_login_items.h"

#include <algorithm>

namespace quillon::testing {

namespace {

class FakeLoginItemList : public LoginItemList {
public:
    explicit FakeLoginItemList(FakeLoginItems& owner) : owner_(owner) {}

    std::optional<std::vector<std::shared_ptr<LoginItem>>> snapshot() override {
        if (owner_.snapshotFails) return std::nullopt;
        return std::vector<std::shared_ptr<LoginItem>>(owner_.items.begin(), owner_.items.end());
    }

    bool remove(LoginItem& item) override {
        auto& items = owner_.items;
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const auto& candidate) { return candidate.get() == &item; });
        if (it == items.end() || (*it)->removalFails) return false;
        owner_.removedNames.push_back((*it)->name);
        items.erase(it);
        return true;
    }

    std::shared_ptr<LoginItem> appendLast(const std::string& path) override {
        if (owner_.appendFails) return nullptr;
        owner_.appended.push_back(path);
        // Like the session list: an application shows under its file name without ".app".
        std::string name = path.substr(path.rfind('/') + 1);
        if (name.ends_with(".app")) name.resize(name.size() - 4);
        return owner_.add(path, name);
    }

private:
    FakeLoginItems& owner_;
};

}  // namespace

std::shared_ptr<FakeLoginItem> FakeLoginItems::add(std::optional<std::string> location,
                                                   std::optional<std::string> name) {
    auto item = std::make_shared<FakeLoginItem>(std::move(location), std::move(name));
    items.push_back(item);
    return item;
}

std::unique_ptr<LoginItemList> FakeLoginItems::open() {
    ++openCount;
    if (unavailable) return nullptr;
    return std::make_unique<FakeLoginItemList>(*this);
}

}  // namespace quillon::testing
