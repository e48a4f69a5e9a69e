// The requests to the helper, the device poll, the devices messages and the page choice.
#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"

namespace quillon {

void QuillonMousePane::sendDistributedNotification(const DictRef& payload,
                                                   const std::string& name) {
    auto object = encodeNotificationPayload(payload);
    if (object) services_.notificationCenter.postNotification(name, *object);
}

std::uint16_t QuillonMousePane::requestDriverPrefsUpdate() {
    sendDistributedNotification(makeUpdatePrefsRequest(), std::string(kRequestNotificationName));
    return 0;
}

std::uint16_t QuillonMousePane::getDevicesFromHelper() {
    sendDistributedNotification(makeGetDevicesRequest(), std::string(kRequestNotificationName));
    return 0;
}

std::uint16_t QuillonMousePane::enableDriverMode(bool enabled) {
    sendDistributedNotification(makeDriverModeRequest(enabled),
                                std::string(kRequestNotificationName));
    return 0;
}

void QuillonMousePane::checkConnectedDevicesTimer() {
    getDevicesFromHelper();
}

void QuillonMousePane::handleDistributedNotification(const std::string& name,
                                                     const std::string& object) {
    if (name != kDevicesNotificationName) return;
    DictRef message = decodeNotificationPayload(object);
    if (!message) return;
    ArrayRef received = devicesOfMessage(*message);
    if (!received) return;
    // A peer may put anything in the list; only dictionaries are device records, and only they
    // may become the stored current device.
    ArrayRef devices = Array::create();
    for (const Value& record : *received)
        if (record.dictionary()) devices->append(record);
    std::weak_ptr<QuillonMousePane*> weak = alive_;
    services_.runLoop.performLater([weak, devices] {
        auto pane = weak.lock();
        if (pane && *pane) (*pane)->updateConnectedDevices(devices);
    });
}

void QuillonMousePane::updateDextState() {
    std::uint16_t extensionState = host().systemExtensionState();
    std::size_t count = fConnectedDevices ? fConnectedDevices->size() : 0;
    if (extensionState <= 1 && count == 0) return;
    int wanted = (count == 0 && extensionState != 5) ? 1 : 0;
    if (iboPaneTabs && iboPaneTabs->selectedIndex() != wanted)
        iboPaneTabs->selectTabViewItemAtIndex(wanted);
}

}  // namespace quillon
