// An in-process notification bus for tests: delivers on a later turn of a manual run loop and
// keeps every post so tests can read what was sent.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/distributed_notification_center.h"
#include "testing/manual_run_loop.h"

namespace quillon::testing {

class InMemoryNotificationCenter final : public DistributedNotificationCenter {
public:
    struct Posted {
        std::string name;
        std::string object;
        friend bool operator==(const Posted&, const Posted&) = default;
    };

    // Deliveries are deferred calls on loop; those still queued when the center is destroyed
    // do nothing.
    explicit InMemoryNotificationCenter(ManualRunLoop& loop);
    ~InMemoryNotificationCenter() override;

    // Records the post and, on the loop's next turn, calls every observer of name that was
    // registered at the time of the post and is still registered.
    void postNotification(const std::string& name, const std::string& object) override;
    ObserverId addObserver(const std::string& name, Observer observer) override;
    void removeObserver(ObserverId id) override;

    // Delivers as a post from another process would: the same way, but not recorded.
    void receive(const std::string& name, const std::string& object);

    // Everything this process posted, oldest first.
    const std::vector<Posted>& posted() const { return posted_; }
    // The posts under name.
    std::vector<Posted> postedUnder(const std::string& name) const;
    void clearPosted() { posted_.clear(); }
    // Observers now registered under name.
    std::size_t observerCount(const std::string& name) const;

private:
    struct Registration {
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    struct State {
        std::map<ObserverId, Registration> observers;
    };

    void deliverLater(const std::string& name, const std::string& object);

    ManualRunLoop& loop_;
    std::shared_ptr<State> state_;
    ObserverId nextId_ = 1;
    std::vector<Posted> posted_;
};

}  // namespace quillon::testing
