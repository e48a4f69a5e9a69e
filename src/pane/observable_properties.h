// Named dictionary properties whose key paths ("ui.tabID") can be observed: a report for every
// assignment of a property and for every store or removal in the dictionary it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "plist/value.h"

namespace quillon {

class ObservableProperties {
public:
    using Observer = std::function<void(const std::string& keyPath, const Value& newValue)>;
    using ObserverId = std::uint64_t;

    explicit ObservableProperties(std::vector<std::string> propertyNames);
    ~ObservableProperties();
    ObservableProperties(const ObservableProperties&) = delete;
    ObservableProperties& operator=(const ObservableProperties&) = delete;

    // The dictionary property holds, or nullptr (also for an unknown property).
    DictRef get(std::string_view property) const;
    // Makes property hold dict and reports every observed path under it, in the order the
    // observations were added, with the new dictionary's value (absent when dict is nullptr).
    void set(std::string_view property, DictRef dict);

    // Observes keyPath "property.key"; reports run synchronously, also for unchanged values.
    // Returns 0 for a path that names no property.
    ObserverId addObserver(std::string_view keyPath, Observer observer);
    void removeObserver(ObserverId id);

    // The value at "property.key", absent when the property holds no dictionary.
    Value valueForKeyPath(std::string_view keyPath) const;
    // Stores value at "property.key" (absent removes); false when the property holds no dictionary.
    bool setValueForKeyPath(std::string_view keyPath, const Value& value);

private:
    struct Observation {
        ObserverId id;
        std::string key;
        std::string keyPath;
        Observer observer;
    };
    struct Property {
        std::string name;
        DictRef dict;
        Dictionary::ListenerId listener = 0;
        std::vector<Observation> observations;
        // The serial of the latest report of each key, so that a report an observer has
        // overtaken by storing again goes no further.
        std::map<std::string, std::uint64_t, std::less<>> latestReports;
    };

    Property* find(std::string_view name);
    const Property* find(std::string_view name) const;
    void attach(Property& property);
    void detach(Property& property);
    void report(const std::string& property, const std::string& key, const Value& newValue);

    std::vector<Property> properties_;
    ObserverId nextId_ = 1;
    std::uint64_t reportSerial_ = 0;
};

// Splits "property.key" at its first dot; false when there is no dot.
bool splitKeyPath(std::string_view keyPath, std::string_view& property, std::string_view& key);

}  // namespace quillon
