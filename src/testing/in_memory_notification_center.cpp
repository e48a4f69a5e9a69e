// An in-process notification bus for tests: delivers on a later turn of a manual run loop and
// keeps every post so tests can read what was sent.
#include "testing/in_memory_notification_center.h"

#include <utility>

namespace quillon::testing {

InMemoryNotificationCenter::InMemoryNotificationCenter(ManualRunLoop& loop)
    : loop_(loop), state_(std::make_shared<State>()) {}

InMemoryNotificationCenter::~InMemoryNotificationCenter() {
    // Deliveries still queued on the loop hold only a weak reference and find no observers.
    state_->observers.clear();
}

void InMemoryNotificationCenter::postNotification(const std::string& name,
                                                  const std::string& object) {
    posted_.push_back({name, object});
    deliverLater(name, object);
}

void InMemoryNotificationCenter::receive(const std::string& name, const std::string& object) {
    deliverLater(name, object);
}

void InMemoryNotificationCenter::deliverLater(const std::string& name, const std::string& object) {
    // Like the bus, a post reaches the observers listening when it was sent, not those that
    // start listening before it arrives.
    std::vector<ObserverId> recipients;
    for (const auto& [id, registration] : state_->observers) {
        if (registration.name == name) recipients.push_back(id);
    }
    if (recipients.empty()) return;
    std::weak_ptr<State> weak = state_;
    loop_.performLater([weak, recipients = std::move(recipients), name, object] {
        for (ObserverId id : recipients) {
            auto state = weak.lock();
            if (!state) return;
            auto it = state->observers.find(id);
            if (it == state->observers.end()) continue;  // removed meanwhile
            // Held here so that an observer may remove itself while it runs.
            std::shared_ptr<Observer> observer = it->second.observer;
            state.reset();
            (*observer)(name, object);
        }
    });
}

DistributedNotificationCenter::ObserverId InMemoryNotificationCenter::addObserver(
    const std::string& name, Observer observer) {
    const ObserverId id = nextId_++;
    state_->observers.emplace(id,
                              Registration{name, std::make_shared<Observer>(std::move(observer))});
    return id;
}

void InMemoryNotificationCenter::removeObserver(ObserverId id) { state_->observers.erase(id); }

std::vector<InMemoryNotificationCenter::Posted> InMemoryNotificationCenter::postedUnder(
    const std::string& name) const {
    std::vector<Posted> result;
    for (const auto& post : posted_) {
        if (post.name == name) result.push_back(post);
    }
    return result;
}

std::size_t InMemoryNotificationCenter::observerCount(const std::string& name) const {
    std::size_t count = 0;
    for (const auto& [id, registration] : state_->observers) {
        if (registration.name == name) ++count;
    }
    return count;
}

}  // namespace quillon::testing
