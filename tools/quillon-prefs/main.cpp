// quillon-prefs: load the preferences as the settings pane does; show sets, matches and blocks;
// export, import, add, rename and delete settings sets.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "adapters/xdg/xdg_workspace.h"
#include "helper_notice.h"
#include "plist/bundle.h"
#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/installed_layout.h"
#include "prefs/preferences_file.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_sets.h"
#include "set_commands.h"

namespace quillon {
namespace {

constexpr const char* kUsage =
    "usage: quillon-prefs check [LOAD OPTIONS]\n"
    "       quillon-prefs match [LOAD OPTIONS] [SELECTION]\n"
    "       quillon-prefs block [LOAD OPTIONS] [SELECTION] [-o OUT]\n"
    "       quillon-prefs export [LOAD OPTIONS] [--set UID] -o FILE\n"
    "       quillon-prefs import [LOAD OPTIONS] FILE [--replace | --skip]\n"
    "       quillon-prefs new [LOAD OPTIONS] --app DESKTOP-ENTRY --type FAMILY\n"
    "                         [--from global|empty|UID]\n"
    "       quillon-prefs rename [LOAD OPTIONS] UID NAME\n"
    "       quillon-prefs delete [LOAD OPTIONS] UID\n"
    "Loads the preferences as the settings pane does: merged with the shipped defaults and\n"
    "cleaned. check, match and block only read them (block writes OUT); export writes a settings\n"
    "file (all sets, or the set UID). import, new, rename and delete save the preferences as\n"
    "the pane does (atomically, a new file with mode 0600, every set keeping a main click) when\n"
    "they change something, and then tell the helper to reload them if it is on the session bus.\n"
    "  import    merges the sets of a settings file; a set for a family and application that\n"
    "            has one already clashes: --replace puts the file's in its place, --skip keeps\n"
    "            the one there; without either a clash is an error and nothing is imported.\n"
    "            Sets of the \"generic\" family are never imported.\n"
    "  new       adds a set for an application (a desktop-file id such as org.example.Mail, or\n"
    "            the path of a .desktop file or X.app folder) and a family (tamber, pell, vantor,\n"
    "            sorrel, sorrel3, kbd), started from the family's global set (default), an\n"
    "            empty set or a copy of the set UID; an existing set for both is kept.\n"
    "  rename, delete   act on application sets only, never on a family's global set.\n"
    "Exit status: 0 on success, 1 when the command fails (with a message), 2 for a wrong\n"
    "command line.\n"
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
    std::optional<std::string> file, defaults, bundle, out, set, appEntry, from;
    std::vector<std::string> arguments;  // after the command
    bool noDefaults = false, replace = false, skip = false;
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
        if (arg == "--no-defaults" || arg == "--replace" || arg == "--skip") {
            (arg == "--no-defaults" ? o.noDefaults
             : arg == "--replace"   ? o.replace
                                    : o.skip) = true;
            continue;
        }
        if (arg.rfind("-", 0) != 0 || arg == "-") {
            if (o.command.empty())
                o.command = arg;
            else
                o.arguments.push_back(arg);
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
        else if (arg == "--set")
            o.set = v;
        else if (arg == "--app")
            o.appEntry = v;
        else if (arg == "--from")
            o.from = v;
        else if (arg == "--type")
            o.device["type"] = *v;
        else if (arg == "--address")
            o.device["address"] = *v;
        else if (auto it = appOptions.find(arg); it != appOptions.end())
            o.app[it->second] = *v;
        else
            return "unknown option " + arg;
    }
    static const std::map<std::string, std::size_t> kArgumentCounts = {
        {"check", 0},  {"match", 0}, {"block", 0},  {"export", 0},
        {"import", 1}, {"new", 0},   {"rename", 2}, {"delete", 1}};
    const auto expected = kArgumentCounts.find(o.command);
    if (expected == kArgumentCounts.end())
        return o.command.empty() ? "no command" : "unknown command " + o.command;
    if (o.arguments.size() > expected->second) return "unexpected argument " + o.arguments.back();
    if (o.arguments.size() < expected->second) return o.command + " needs more arguments";
    if (o.noDefaults && o.defaults) return "--defaults and --no-defaults exclude each other";
    if (o.out && o.command != "block" && o.command != "export")
        return "-o is for block and export only";
    if (o.command == "export" && !o.out) return "export needs -o FILE";
    if (o.set && o.command != "export") return "--set is for export only";
    if ((o.replace || o.skip) && o.command != "import")
        return "--replace and --skip are for import";
    if (o.replace && o.skip) return "--replace and --skip exclude each other";
    if ((o.appEntry || o.from) && o.command != "new") return "--app and --from are for new only";
    if (o.command == "new" && (!o.appEntry || !o.device.count("type")))
        return "new needs --app DESKTOP-ENTRY and --type FAMILY";
    return std::nullopt;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The loaded, merged and cleaned preferences, their state before the cleanup, and the file.
struct Loaded {
    DictRef prefs;
    DictRef beforeCleanup;
    std::string file;
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
    Loaded loaded{prefs, deepCopy(*prefs), file};
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

// The commands that write: a changed table is saved as the pane saves it, then announced.
int edit(const Loaded& loaded, const Options& o) {
    Dictionary& prefs = *loaded.prefs;
    Edit result;
    if (o.command == "export") {
        result = exportSets(prefs, o.set, *o.out);
    } else if (o.command == "import") {
        const ClashPolicy policy = o.replace ? ClashPolicy::Replace
                                   : o.skip  ? ClashPolicy::Skip
                                             : ClashPolicy::Refuse;
        result = importSets(prefs, o.arguments[0], policy);
    } else if (o.command == "new") {
        XdgWorkspace workspace(nullptr);
        result =
            newSet(prefs, workspace, *o.appEntry, o.device.at("type"), o.from.value_or("global"));
    } else if (o.command == "rename") {
        result = renameSet(prefs, o.arguments[0], o.arguments[1]);
    } else {
        result = deleteSet(prefs, o.arguments[0]);
    }
    if (result.status != 0 || !result.changed) return result.status;
    for (const auto& uid : giveEverySetAMainClick(*prefs.dictionary("settings")))
        std::cerr << "quillon-prefs: main button of set " << uid << " reassigned to Mouse Click\n";
    if (!saveQuillonMousePrefs(prefs, loaded.file))
        return failure(loaded.file + ": cannot be written; the preferences are as they were");
    tellHelperToReload();
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
    if (options.command == "block") return block(*loaded, options);
    return edit(*loaded, options);
}
