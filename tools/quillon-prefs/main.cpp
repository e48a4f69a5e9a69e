// quillon-prefs: load the preferences as the settings pane does and show sets, matches and blocks.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "plist/bundle.h"
#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/installed_layout.h"
#include "prefs/preferences_file.h"
#include "prefs/settings_matching.h"

namespace quillon {
namespace {

constexpr const char* kUsage =
    "usage: quillon-prefs check [LOAD OPTIONS]\n"
    "       quillon-prefs match [LOAD OPTIONS] [SELECTION]\n"
    "       quillon-prefs block [LOAD OPTIONS] [SELECTION] [-o OUT]\n"
    "Loads the preferences as the settings pane does, in memory only; nothing is written\n"
    "(except OUT).\n"
    "LOAD OPTIONS:\n"
    "  --file F        the preferences file (default: the user's, under $HOME)\n"
    "  --defaults D    the shipped defaults (default QuillonMouseDefaults.plist of the bundle)\n"
    "  --bundle DIR    the pane's resource folder\n"
    "  --no-defaults   merge no defaults\n"
    "SELECTION:\n"
    "  --type FAMILY --address N                       the device\n"
    "  --bundle-id X --bundle-name X --exec-name X --signature X   the application\n"
    "  (no application option: no application)\n";

struct Options {
    std::string command;
    std::optional<std::string> file, defaults, bundle, out;
    bool noDefaults = false;
    std::map<std::string, std::string> app;     // description key -> value
    std::map<std::string, std::string> device;  // "type", "address"
};

int usageError(const std::string& message) {
    std::cerr << "quillon-prefs: " << message << "\n" << kUsage;
    return 2;
}

int failure(const std::string& message) {
    std::cerr << "quillon-prefs: " << message << "\n";
    return 1;
}

// Parses argv into options; a message when the command line is wrong.
std::optional<std::string> parse(int argc, char** argv, Options& o) {
    static const std::map<std::string, std::string> appOptions = {{"--bundle-id", "bundleID"},
                                                                  {"--bundle-name", "bundleName"},
                                                                  {"--exec-name", "execName"},
                                                                  {"--signature", "signature"}};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--no-defaults") {
            o.noDefaults = true;
            continue;
        }
        if (arg.rfind("-", 0) != 0) {
            if (!o.command.empty()) return "unexpected argument " + arg;
            o.command = arg;
            continue;
        }
        if (!(v = value())) return arg + " needs a value";
        if (arg == "--file")
            o.file = v;
        else if (arg == "--defaults")
            o.defaults = v;
        else if (arg == "--bundle")
            o.bundle = v;
        else if (arg == "-o")
            o.out = v;
        else if (arg == "--type")
            o.device["type"] = *v;
        else if (arg == "--address")
            o.device["address"] = *v;
        else if (auto it = appOptions.find(arg); it != appOptions.end())
            o.app[it->second] = *v;
        else
            return "unknown option " + arg;
    }
    if (o.command != "check" && o.command != "match" && o.command != "block")
        return o.command.empty() ? "no command" : "unknown command " + o.command;
    if (o.noDefaults && o.defaults) return "--defaults and --no-defaults exclude each other";
    if (o.out && o.command != "block") return "-o is for block only";
    return std::nullopt;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The loaded, merged and cleaned preferences, and their state before the cleanup.
struct Loaded {
    DictRef prefs;
    DictRef beforeCleanup;
};

std::optional<Loaded> load(const Options& o, int& status) {
    status = 1;
    std::string file;
    if (o.file) {
        file = *o.file;
    } else if (auto path = userQuillonMousePrefsPath()) {
        file = *path;
    } else {
        std::cerr << "quillon-prefs: no home folder (HOME is not set and the password database has "
                     "none for this user); name the preferences with --file\n";
        return std::nullopt;
    }
    DictRef user;
    if (exists(file)) {
        user = mutableDictionaryWithContentsOfFile(file);
        if (!user) {
            std::cerr << "quillon-prefs: " << file
                      << ": cannot be read as a property-list dictionary\n";
            return std::nullopt;
        }
    } else {
        std::cerr << "quillon-prefs: " << file << ": no such file; the settings pane would start "
                  << "from the defaults\n";
    }
    DictRef defaults;
    if (!o.noDefaults) {
        std::string path;
        if (o.defaults) {
            path = *o.defaults;
        } else {
            const Bundle bundle(paneBundleDirectory(o.bundle));
            if (auto found = bundle.pathForResource("QuillonMouseDefaults", "plist")) {
                path = found->string();
            } else {
                std::cerr << "quillon-prefs: " << bundle.root().string()
                          << ": no QuillonMouseDefaults.plist (use --defaults or --no-defaults)\n";
                return std::nullopt;
            }
        }
        defaults = mutableDictionaryWithContentsOfFile(path);
        if (!defaults) {
            std::cerr << "quillon-prefs: " << path
                      << ": cannot be read as a property-list dictionary\n";
            return std::nullopt;
        }
    }
    DictRef prefs = mergeQuillonMousePrefs(user, defaults);
    if (!prefs) prefs = Dictionary::create(4);
    Loaded loaded{prefs, deepCopy(*prefs)};
    cleanupQuillonMousePrefs(*prefs);
    status = 0;
    return loaded;
}

// A value in one short line.
std::string brief(const Value& v) {
    switch (v.type()) {
        case ValueType::Absent:
            return "(none)";
        case ValueType::Boolean:
            return v.asBool() ? "true" : "false";
        case ValueType::Integer:
            return std::to_string(v.asInteger());
        case ValueType::Real:
            return std::to_string(v.asReal());
        case ValueType::String:
            return "\"" + v.asString() + "\"";
        case ValueType::Date:
            return "(date)";
        case ValueType::Data:
            return "(" + std::to_string(v.ifData()->size()) + " bytes)";
        case ValueType::Uid:
            return "(uid)";
        case ValueType::Array:
            return "(array of " + std::to_string(v.arrayPtr()->size()) + ")";
        case ValueType::Dictionary:
            return "(dictionary of " + std::to_string(v.dictionaryPtr()->size()) + ")";
    }
    return "";
}

// Prints, by key path, what differs between two values.
void printChanges(const std::string& path, const Value& before, const Value& after, int& count) {
    const Dictionary* b = before.dictionaryPtr();
    const Dictionary* a = after.dictionaryPtr();
    if (b && a) {
        for (const auto& [key, value] : *b)
            printChanges(path.empty() ? key : path + "." + key, value, a->get(key), count);
        // Keys added side by side (the scroll options of a record) make one line.
        std::string added;
        for (const auto& [key, value] : *a) {
            if (b->contains(key)) continue;
            added += (added.empty() ? "" : ", ") + key + " = " + brief(value);
            ++count;
        }
        if (!added.empty()) std::cout << "  added    " << path << ": " << added << "\n";
        return;
    }
    if (before == after) return;
    ++count;
    if (before.isAbsent())
        std::cout << "  added    " << path << " = " << brief(after) << "\n";
    else if (after.isAbsent())
        std::cout << "  removed  " << path << " (was " << brief(before) << ")\n";
    else
        std::cout << "  replaced " << path << ": " << brief(before) << " -> " << brief(after)
                  << "\n";
}

std::string applicationOf(const Dictionary& record) {
    const Dictionary* app = record.get("app").dictionaryPtr();
    if (app)
        for (const char* field : {"bundleID", "execName", "bundleName", "signature"})
            if (!app->string(field).empty()) return app->string(field);
    return "(all applications)";
}

int check(const Loaded& loaded) {
    const Dictionary& settings = *loaded.prefs->dictionary("settings");
    for (const auto& [uid, value] : settings) {
        const Dictionary* record = value.dictionaryPtr();
        if (!record) {
            std::cout << uid << "\t(not a settings record: " << brief(value) << ")\n";
            continue;
        }
        const Dictionary* device = record->get("device").dictionaryPtr();
        const std::string family = device ? device->string("type") : std::string();
        const Dictionary* actions = record->get("actions").dictionaryPtr();
        const std::size_t count = actions ? actions->size() : 0;
        std::cout << uid << "\t" << (family.empty() ? "(any family)" : family) << "\t"
                  << record->string("displayName") << "\t" << applicationOf(*record) << "\t"
                  << count << (count == 1 ? " action" : " actions") << "\n";
    }
    std::cout << "cleanup:\n";
    int changes = 0;
    printChanges("", Value(loaded.beforeCleanup), Value(loaded.prefs), changes);
    if (changes == 0) std::cout << "  no changes\n";
    return 0;
}

DictRef descriptionOf(const std::map<std::string, std::string>& fields, bool numericAddress) {
    if (fields.empty()) return nullptr;
    DictRef d = Dictionary::create();
    for (const auto& [key, value] : fields) {
        if (numericAddress && key == "address")
            d->set(key, Value(Value(value).asInteger()));
        else
            d->set(key, Value(value));
    }
    return d;
}

DictRef matchFor(const Loaded& loaded, const Options& o) {
    const DictRef app = descriptionOf(o.app, false);
    const DictRef device = descriptionOf(o.device, true);
    return matchQuillonMouseSettings(*loaded.prefs, app.get(), device.get());
}

int match(const Loaded& loaded, const Options& o) {
    const DictRef result = matchFor(loaded, o);
    if (!result) return 0;
    std::cout << writeXmlPropertyList(Value(result)).value_or("");
    return 0;
}

int block(const Loaded& loaded, const Options& o) {
    const DictRef result = matchFor(loaded, o);
    DriverSettingsBlock filled;
    if (!fillQuillonMouseSettings(*loaded.prefs, &filled, result.get()))
        return failure("no settings set matches this device and application");
    const auto bytes = filled.bytes();
    if (o.out) {
        std::ofstream out(*o.out, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) return failure(*o.out + ": cannot be written");
        return 0;
    }
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        char line[80];
        int n = std::snprintf(line, sizeof line, "%04zx:", row);
        for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %02x",
                               bytes[i]);
        std::cout << line << "\n";
    }
    return 0;
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    using namespace quillon;
    Options options;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (auto error = parse(argc, argv, options)) return usageError(*error);
    int status = 0;
    const auto loaded = load(options, status);
    if (!loaded) return status;
    if (options.command == "check") return check(*loaded);
    if (options.command == "match") return match(*loaded, options);
    return block(*loaded, options);
}
