// System-wide notifications: a name and a string object, broadcast to every listening process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

class DistributedNotificationCenter {
public:
    using Observer = std::function<void(const std::string& name, const std::string& object)>;
    using ObserverId = std::uint64_t;

    virtual ~DistributedNotificationCenter() = default;
    // Broadcasts name with object, delivered at once even to listeners that are suspended.
    virtual void postNotification(const std::string& name, const std::string& object) = 0;
    // Calls observer, on a later turn of the main run loop, for each notification posted under name
    // by any process (this one included); returns an id for removeObserver.
    virtual ObserverId addObserver(const std::string& name, Observer observer) = 0;
    // Stops the observer with that id; unknown ids are ignored.
    virtual void removeObserver(ObserverId id) = 0;
};

}  // namespace quillon
