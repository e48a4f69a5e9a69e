// Key-path observation over the dictionaries' own change listeners.
#include "pane/observable_properties.h"

#include <algorithm>

namespace quillon {

bool splitKeyPath(std::string_view keyPath, std::string_view& property, std::string_view& key) {
    auto dot = keyPath.find('.');
    if (dot == std::string_view::npos) return false;
    property = keyPath.substr(0, dot);
    key = keyPath.substr(dot + 1);
    return true;
}

ObservableProperties::ObservableProperties(std::vector<std::string> propertyNames) {
    properties_.reserve(propertyNames.size());
    for (auto& name : propertyNames)
        properties_.push_back(Property{std::move(name), nullptr, 0, {}, {}});
}

ObservableProperties::~ObservableProperties() {
    for (auto& property : properties_)
        detach(property);
}

ObservableProperties::Property* ObservableProperties::find(std::string_view name) {
    for (auto& property : properties_)
        if (property.name == name) return &property;
    return nullptr;
}

const ObservableProperties::Property* ObservableProperties::find(std::string_view name) const {
    return const_cast<ObservableProperties*>(this)->find(name);
}

DictRef ObservableProperties::get(std::string_view property) const {
    const Property* p = find(property);
    return p ? p->dict : nullptr;
}

void ObservableProperties::attach(Property& property) {
    if (!property.dict) return;
    // The listener finds the property by name each time: properties_ never reallocates after
    // construction, but a name lookup keeps this independent of that.
    std::string name = property.name;
    property.listener =
        property.dict->addListener([this, name](const std::string& key, const Value& newValue) {
            report(name, key, newValue);
        });
}

void ObservableProperties::detach(Property& property) {
    if (property.dict && property.listener) property.dict->removeListener(property.listener);
    property.listener = 0;
}

void ObservableProperties::set(std::string_view name, DictRef dict) {
    Property* property = find(name);
    if (!property) return;
    detach(*property);
    property->dict = dict;
    attach(*property);
    // An observer may assign the property again while we report; the reports of this assignment
    // still describe the dictionary assigned here.
    std::vector<Observation> observations = property->observations;
    for (const auto& observation : observations) {
        Value value = dict ? dict->get(observation.key) : Value();
        observation.observer(observation.keyPath, value);
    }
}

void ObservableProperties::report(const std::string& name, const std::string& key,
                                  const Value& newValue) {
    Property* property = find(name);
    if (!property) return;
    std::vector<Observation> observations;
    for (const auto& observation : property->observations)
        if (observation.key == key) observations.push_back(observation);
    const std::uint64_t serial = ++reportSerial_;
    // A node of the map stays where it is while others are added.
    std::uint64_t& latest = property->latestReports[key];
    latest = serial;
    for (const auto& observation : observations) {
        // An observer stored this key again (a field's text cut to one character, say): every
        // observer has had that newer value already, and must not be handed this one after it.
        if (latest != serial) return;
        observation.observer(observation.keyPath, newValue);
    }
}

ObservableProperties::ObserverId ObservableProperties::addObserver(std::string_view keyPath,
                                                                   Observer observer) {
    std::string_view propertyName, key;
    if (!splitKeyPath(keyPath, propertyName, key)) return 0;
    Property* property = find(propertyName);
    if (!property) return 0;
    ObserverId id = nextId_++;
    property->observations.push_back(
        Observation{id, std::string(key), std::string(keyPath), std::move(observer)});
    return id;
}

void ObservableProperties::removeObserver(ObserverId id) {
    for (auto& property : properties_) {
        auto& list = property.observations;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [id](const Observation& o) { return o.id == id; }),
                   list.end());
    }
}

Value ObservableProperties::valueForKeyPath(std::string_view keyPath) const {
    std::string_view propertyName, key;
    if (!splitKeyPath(keyPath, propertyName, key)) return Value();
    DictRef dict = get(propertyName);
    return dict ? dict->get(key) : Value();
}

bool ObservableProperties::setValueForKeyPath(std::string_view keyPath, const Value& value) {
    std::string_view propertyName, key;
    if (!splitKeyPath(keyPath, propertyName, key)) return false;
    DictRef dict = get(propertyName);
    if (!dict) return false;
    dict->set(std::string(key), value);
    return true;
}

}  // namespace quillon
