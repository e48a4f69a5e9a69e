// The connected devices: the device menu, the status text and the current device.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <unordered_set>

#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/device_family.h"

namespace quillon {

namespace {

// Products whose interface 1 is a device of its own; of every other product only interface 0
// (or any interface over transport 3) is.
bool acceptsSecondInterface(std::uint16_t productID) {
    constexpr std::uint16_t kProducts[] = {0x0403, 0x0503, 0x0703, 0x1003, 0x1056, 0x3000};
    return std::find(std::begin(kProducts), std::end(kProducts), productID) != std::end(kProducts);
}

// Never listed or counted, though it may still become current as the first record of a list.
constexpr std::uint16_t kUnlistedProductID = 0x2000;

std::string tableKey(std::uint16_t productID) {
    char key[8];
    std::snprintf(key, sizeof key, "%04X", productID);
    return key;
}

}  // namespace

std::string QuillonMousePane::deviceTypeForProductID(std::uint16_t productID) {
    return std::string(deviceFamilyForProductID(productID));
}

void QuillonMousePane::updateConnectedDevices(ArrayRef devices) {
    if (!devices) devices = Array::create();
    // The helper answers every poll; a list of the same products changes nothing.
    if (fConnectedDevices && fConnectedDevices->size() == devices->size()) {
        std::unordered_set<std::uint16_t> previous;
        for (const Value& record : *fConnectedDevices)
            previous.insert(productIDOf(record.dictionaryPtr()));
        bool unchanged = true;
        for (const Value& record : *devices)
            if (!previous.count(productIDOf(record.dictionaryPtr()))) unchanged = false;
        if (unchanged) return;
    }

    if (iboOptionsMenuDevices) iboOptionsMenuDevices->removeAllItems();
    std::string names;
    fConnectedDevices = devices;

    DictRef stored = state() ? state()->dictionary("device") : nullptr;
    std::uint16_t storedID = productIDOf(stored.get());
    DictRef remembered;
    int accepted = 0;
    for (const Value& record : *devices) {
        DictRef dict = record.dictionary();
        if (!dict) continue;
        std::uint16_t productID = productIDOf(record.dictionaryPtr());
        if (productID == kUnlistedProductID) continue;
        bool accept = (dict->integer("transport") & 0xFFFF) == 3 ||
                      dict->integer("interface") == 0 ||
                      (acceptsSecondInterface(productID) && dict->integer("interface") == 1);
        if (!accept) continue;
        if (productID == storedID) remembered = dict;
        DictRef entry =
            fDeviceInfoTable ? fDeviceInfoTable->dictionary(tableKey(productID)) : nullptr;
        Value name = entry ? entry->get("deviceName") : Value();
        if (name.ifString() && !name.asString().empty()) {
            if (iboOptionsMenuDevices) iboOptionsMenuDevices->addItem(name.asString(), productID);
            if (!names.empty()) names += ", ";
            names += name.asString();
        }
        ++accepted;
    }

    std::string text = localized(accepted == 0   ? "No Quillon mouse device connected"
                                 : accepted == 1 ? "You are using a ## device"
                                                 : "Connected devices: ##");
    if (accepted > 0) replaceAll(text, "##", names);
    setUiValue("deviceInfo", text);
    setUiValue("hideDeviceMenu", Integer(accepted < 2 ? 1 : 0));

    DictRef chosen = remembered;
    if (!chosen && devices->size() > 0) chosen = devices->at(0).dictionary();
    if (chosen) setUiValue("selectedDevice", Integer(productIDOf(chosen.get())));
    switchToDevice(chosen);
    updateDextState();
}

void QuillonMousePane::switchToDevice(DictRef device) {
    if (device && state()) state()->set("device", device);
    DictRef current = state() ? state()->dictionary("device") : nullptr;
    std::uint16_t productID = productIDOf(current.get());
    if (iboOptionsMenuDevices) iboOptionsMenuDevices->selectItemWithTag(productID);
    fDeviceInfo = fDeviceInfoTable ? fDeviceInfoTable->dictionary(tableKey(productID)) : nullptr;
    updateTargetMenu();
    // With no settings for the family there is nothing to edit: no UID selects no record.
    if (targetKeys_.empty())
        setUiValue("settingsUID", Value());
    else
        setUiValue("settingsUID", Integer(Value(targetKeys_.front()).asInteger()));
    if (iboOptionsListControls) iboOptionsListControls->reloadData();
}

void QuillonMousePane::replacePlaceholderName(const std::optional<std::string>& name,
                                              TextField& field) {
    std::string shown = name && !name->empty() ? *name : localized("Global Settings");
    std::string placeholder = field.placeholderString();
    auto at = placeholder.find('@');
    if (at == std::string::npos) return;
    field.setStringValue(placeholder.substr(0, at) + shown + placeholder.substr(at + 1));
}

}  // namespace quillon
