// The messages between the pane and the helper: notification names, the envelope, the requests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// Requests from the pane to the helper travel under this name.
inline constexpr std::string_view kRequestNotificationName = "com.quillonworks.mouse.dn.request";
// Device lists from the helper to the pane travel under this name.
inline constexpr std::string_view kDevicesNotificationName = "com.quillonworks.mouse.dn.devices";

// The key naming the request, and the request names.
inline constexpr std::string_view kRequestKey = "request";
inline constexpr std::string_view kUpdatePrefsRequest = "updatePrefs";
inline constexpr std::string_view kGetDevicesRequest = "getDevices";
inline constexpr std::string_view kDriverModeRequest = "driverMode";
inline constexpr std::string_view kEnterDFURequest = "enterDFU";
// The boolean of a driverMode request.
inline constexpr std::string_view kDriverModeStateKey = "state";
// The array of device records in a devices message.
inline constexpr std::string_view kDevicesKey = "devices";

// Received objects longer than this are dropped unread: a device list is a few hundred bytes,
// and a peer must not make the receiver parse megabytes on its main thread.
inline constexpr std::size_t kMaxNotificationPayloadBytes = std::size_t{1} << 20;

// The object string that carries payload: the dictionary as an XML property list, as UTF-8
// text. Nothing when the dictionary cannot be written as XML.
std::optional<std::string> encodeNotificationPayload(const DictRef& payload);

// The dictionary carried by a received object string, with mutable containers; nullptr for
// anything else (not a property list, a property list that is not a dictionary, too long).
DictRef decodeNotificationPayload(std::string_view object);

// The four requests the pane sends: {request = "updatePrefs"}, {request = "getDevices"},
// {request = "driverMode", state = <state>}, {request = "enterDFU"}.
DictRef makeUpdatePrefsRequest();
DictRef makeGetDevicesRequest();
DictRef makeDriverModeRequest(bool state);
DictRef makeEnterDFURequest();

// A devices message: {devices = <devices>}.
DictRef makeDevicesMessage(const ArrayRef& devices);
// The device list of a devices message: nullptr when it has no `devices` array.
ArrayRef devicesOfMessage(const Dictionary& message);

}  // namespace quillon
