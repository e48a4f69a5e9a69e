// The messages between the pane and the helper: notification names, the envelope, the requests.
#include "link/notification_protocol.h"

#include "plist/property_list.h"

namespace quillon {

std::optional<std::string> encodeNotificationPayload(const DictRef& payload) {
    if (!payload) return std::nullopt;
    return writeXmlPropertyList(Value(payload));
}

DictRef decodeNotificationPayload(std::string_view object) {
    if (object.size() > kMaxNotificationPayloadBytes) return nullptr;
    // Either format is accepted, as the receiving side asks for none in particular.
    return parsePropertyList(object).dictionary();
}

namespace {

DictRef makeRequest(std::string_view name) {
    return makeDictionary({{kRequestKey, Value(name)}});
}

}  // namespace

DictRef makeUpdatePrefsRequest() { return makeRequest(kUpdatePrefsRequest); }
DictRef makeGetDevicesRequest() { return makeRequest(kGetDevicesRequest); }
DictRef makeEnterDFURequest() { return makeRequest(kEnterDFURequest); }

DictRef makeDriverModeRequest(bool state) {
    return makeDictionary({{kRequestKey, Value(kDriverModeRequest)},
                           {kDriverModeStateKey, Value(state)}});
}

DictRef makeDevicesMessage(const ArrayRef& devices) {
    return makeDictionary({{kDevicesKey, Value(devices ? devices : Array::create())}});
}

ArrayRef devicesOfMessage(const Dictionary& message) { return message.array(kDevicesKey); }

}  // namespace quillon
