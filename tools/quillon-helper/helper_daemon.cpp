// The stand-in helper's behaviour on the ports: answers requests, sends device lists, logs all.
#include "quillon-helper/helper_daemon.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "link/notification_protocol.h"
#include "plist/file_utils.h"

namespace quillon::helper {

namespace {

bool needsQuotes(std::string_view value) {
    if (value.empty()) return true;
    for (unsigned char c : value) {
        if (c <= 0x20 || c == 0x7f || c == '"' || c == '\\') return true;
    }
    return false;
}

std::string field(std::string_view key, std::string_view value) {
    std::string out(key);
    out += '=';
    out += logValue(value);
    return out;
}

// An integer in decimal (with optional sign) or 0x hexadecimal, the whole text and nothing else.
std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    if (first < last && *first == '+') ++first;
    if (first == last) return std::nullopt;
    const auto [end, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

Value parseFieldValue(std::string_view text) {
    if (auto number = parseInteger(text)) return Value(*number);
    if (text == "true") return Value(true);
    if (text == "false") return Value(false);
    return Value(text);
}

std::string describeApplication(const Dictionary& settings) {
    const DictRef app = settings.dictionary("app");
    if (!app) return "*";
    for (const char* key : {"bundleID", "bundleName", "execName", "signature"}) {
        if (!app->string(key).empty()) return app->string(key);
    }
    return "*";
}

}  // namespace

std::string logValue(std::string_view value) {
    if (!needsQuotes(value)) return std::string(value);
    std::string out = "\"";
    for (unsigned char c : value) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::string describeDevices(const Array& devices) {
    if (devices.empty()) return "-";
    std::string out;
    for (const Value& record : devices) {
        if (!out.empty()) out += ',';
        const Dictionary* device = record.dictionaryPtr();
        if (!device) {
            out += '?';
            continue;
        }
        char text[80];
        std::snprintf(text, sizeof text, "0x%04llX:%lld:%lld",
                      static_cast<unsigned long long>(device->integer("pid") & 0xFFFF),
                      static_cast<long long>(device->integer("transport")),
                      static_cast<long long>(device->integer("interface")));
        out += text;
    }
    return out;
}

DictRef parseDeviceFields(std::string_view fields, std::string* error) {
    auto device = makeDictionary({{"transport", Value(0)}, {"interface", Value(0)}});
    while (!fields.empty()) {
        const std::size_t comma = fields.find(',');
        const std::string_view item = fields.substr(0, comma);
        fields = comma == std::string_view::npos ? std::string_view() : fields.substr(comma + 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            if (error) *error = "expected key=value, got \"" + std::string(item) + "\"";
            return nullptr;
        }
        device->set(item.substr(0, equals), parseFieldValue(item.substr(equals + 1)));
    }
    if (!device->get("pid").ifInteger()) {
        if (error) *error = "a device needs an integer pid";
        return nullptr;
    }
    return device;
}

std::optional<ArrayRef> readDevicesFile(const std::string& path, std::string* error) {
    const Value list = propertyListWithContentsOfFile(path);
    if (list.isAbsent()) {
        if (error) *error = std::filesystem::exists(path) ? "unreadable" : "missing";
        return std::nullopt;
    }
    if (ArrayRef devices = list.array()) return devices;
    if (const Dictionary* message = list.dictionaryPtr()) {
        if (ArrayRef devices = devicesOfMessage(*message)) return devices;
    }
    if (error) *error = "no-device-list";
    return std::nullopt;
}

HelperDaemon::HelperDaemon(DistributedNotificationCenter& center, std::string prefsPath,
                           LogSink log)
    : center_(center), prefsPath_(std::move(prefsPath)), log_(std::move(log)),
      devices_(Array::create()) {}

HelperDaemon::~HelperDaemon() {
    if (observer_) center_.removeObserver(*observer_);
}

void HelperDaemon::start() {
    if (!observer_) {
        observer_ = center_.addObserver(
            std::string(kRequestNotificationName),
            [this](const std::string&, const std::string& object) { handleRequest(object); });
    }
    reloadPrefs();
}

void HelperDaemon::setDevices(ArrayRef devices, const std::string& reason) {
    if (!devices) devices = Array::create();
    const bool changed = !(Value(devices) == Value(devices_));
    devices_ = std::move(devices);
    if (changed && !reason.empty()) sendDevices(reason);
}

void HelperDaemon::handleRequest(const std::string& object) {
    const std::string prefix = "recv " + field("name", kRequestNotificationName);
    const DictRef request = decodeNotificationPayload(object);
    if (!request) {
        log_(prefix + " error=not-a-dictionary " + field("bytes", std::to_string(object.size())));
        return;
    }
    const Value& name = request->get(kRequestKey);
    if (!name.ifString()) {
        log_(prefix + " error=no-request-name");
        return;
    }
    const std::string& kind = *name.ifString();
    if (kind == kGetDevicesRequest) {
        log_(prefix + " " + field("request", kind));
        sendDevices(kind);
    } else if (kind == kUpdatePrefsRequest) {
        log_(prefix + " " + field("request", kind));
        reloadPrefs();
    } else if (kind == kDriverModeRequest) {
        const Value& state = request->get(kDriverModeStateKey);
        log_(prefix + " " + field("request", kind) + " " +
             field("state", state.isAbsent() ? "absent" : state.asBool() ? "true" : "false"));
    } else if (kind == kEnterDFURequest) {
        log_(prefix + " " + field("request", kind));
    } else {
        log_(prefix + " " + field("request", kind) + " error=unknown-request");
    }
}

void HelperDaemon::sendDevices(const std::string& reason) {
    std::string line = "send " + field("name", kDevicesNotificationName) + " " +
                       field("reason", reason) + " " +
                       field("count", std::to_string(devices_->size())) + " " +
                       field("devices", describeDevices(*devices_));
    const auto payload = encodeNotificationPayload(makeDevicesMessage(devices_));
    if (!payload) {
        log_(line + " error=unencodable");
        return;
    }
    log_(line);
    center_.postNotification(std::string(kDevicesNotificationName), *payload);
}

void HelperDaemon::reloadPrefs() {
    const DictRef prefs = mutableDictionaryWithContentsOfFile(prefsPath_);
    if (!prefs) {
        log_("prefs " + field("path", prefsPath_) + " " +
             field("error", std::filesystem::exists(prefsPath_) ? "unreadable" : "missing"));
        return;
    }
    const DictRef settings = prefs->dictionary("settings");
    log_("prefs " + field("path", prefsPath_) + " " +
         field("version", std::to_string(prefs->integer("version"))) + " " +
         field("sets", std::to_string(settings ? settings->size() : 0)));
    if (!settings) return;
    for (const auto& [uid, value] : *settings) {
        const Dictionary* record = value.dictionaryPtr();
        if (!record) {
            log_("prefs-set " + field("uid", uid) + " error=not-a-dictionary");
            continue;
        }
        const DictRef device = record->dictionary("device");
        const std::string family = device ? device->string("type") : std::string();
        log_("prefs-set " + field("uid", uid) + " " + field("family", family.empty() ? "*" : family) +
             " " + field("app", describeApplication(*record)) + " " +
             field("name", record->string("displayName")) + " " +
             field("enabled", record->boolean("enabled") ? "true" : "false"));
    }
}

}  // namespace quillon::helper
