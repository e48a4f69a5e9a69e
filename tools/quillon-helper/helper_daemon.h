// The stand-in helper's behaviour on the ports: answers requests, sends device lists, logs all.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/distributed_notification_center.h"
#include "plist/value.h"

namespace quillon::helper {

// The bus name the helper owns while it runs.
inline constexpr std::string_view kHelperBusName = "com.quillonworks.mouse.helper";

// One log line, without its newline. Lines are "<event> key=value key=value ...", values
// quoted when needed (see logValue); docs/helper-protocol.md lists the events.
using LogSink = std::function<void(const std::string& line)>;

// value as it appears after "key=": as it is when it is non-empty and holds no space, quote,
// backslash or control character; else in double quotes with \" \\ \n \r \t and \xHH escapes.
std::string logValue(std::string_view value);

// The device list as it appears in a log line: "pid:transport:interface" per record with the
// product id as 0x and four hexadecimal digits, joined by ","; "?" for a record that is not a
// dictionary; "-" for an empty list.
std::string describeDevices(const Array& devices);

// A device record from "pid=0x1056,transport=1,interface=0[,key=value...]": integers in
// decimal or 0x hexadecimal, true and false as booleans, anything else as a string. pid is
// required; transport and interface default to 0. Nothing, with *error set, when malformed.
DictRef parseDeviceFields(std::string_view fields, std::string* error);

// The device records of a devices file: a property list holding an array of records, or a
// dictionary whose `devices` is one. Nothing, with *error set, when unreadable or neither.
std::optional<ArrayRef> readDevicesFile(const std::string& path, std::string* error);

class HelperDaemon {
public:
    HelperDaemon(DistributedNotificationCenter& center, std::string prefsPath, LogSink log);
    ~HelperDaemon();
    HelperDaemon(const HelperDaemon&) = delete;
    HelperDaemon& operator=(const HelperDaemon&) = delete;

    // Starts listening for requests and reads the preferences file once.
    void start();
    // Replaces the simulated devices. When the list differs from the one before and reason is
    // given, posts an unsolicited devices message with that reason in its log line.
    void setDevices(ArrayRef devices, const std::string& reason = {});
    const ArrayRef& devices() const { return devices_; }
    // Reads the preferences file and logs the settings sets it holds.
    void reloadPrefs();

private:
    void handleRequest(const std::string& object);
    void sendDevices(const std::string& reason);

    DistributedNotificationCenter& center_;
    std::string prefsPath_;
    LogSink log_;
    ArrayRef devices_;
    std::optional<DistributedNotificationCenter::ObserverId> observer_;
};

}  // namespace quillon::helper
