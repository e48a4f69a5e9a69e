// quillon-plutil: prints, checks and converts property-list files.
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "quillon-plutil/print.h"
#include "quillon-plutil/write_refusal.h"

namespace {

using namespace quillon;

constexpr std::string_view kUsage =
    "usage: quillon-plutil -p FILE\n"
    "       quillon-plutil -lint FILE...\n"
    "       quillon-plutil -convert xml1|binary1 [-o OUT] FILE...\n"
    "       quillon-plutil -h | --help\n"
    "\n"
    "  -p        print the property list in FILE readably\n"
    "  -lint     check that each FILE is a property list; prints \"FILE: OK\" or the reason\n"
    "  -convert  rewrite each FILE in place (atomically) in the given format, or write it\n"
    "            to OUT (one FILE only; OUT \"-\" is standard output)\n"
    "  FILE \"-\" reads standard input (with -p, -lint, and -convert with -o).\n"
    "  -p prints booleans as true/false and UIDs as uid(N).\n"
    "  Exit status: 0 when every FILE succeeded, else 1.\n";

// Inputs of this size or larger count as unreadable, as for readFileBytes.
constexpr std::size_t kMaxInputBytes = std::size_t{1} << 30;

void complain(const std::string& message) {
    std::fprintf(stderr, "quillon-plutil: %s\n", message.c_str());
}

int usageError(const std::string& message) {
    complain(message);
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return 1;
}

bool writeAll(std::FILE* stream, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
           std::fflush(stream) == 0;
}

std::optional<std::string> readStandardInput() {
    std::string bytes;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) >= kMaxInputBytes) return std::nullopt;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
}

// The property list in path ("-": standard input), or absent with *problem saying why.
Value load(const std::string& path, std::string* problem) {
    const auto bytes = path == "-" ? readStandardInput() : readFileBytes(path, kMaxInputBytes);
    if (!bytes) {
        *problem = "file does not exist or is not readable";
        return {};
    }
    if (bytes->empty()) {
        *problem = "not a property list (the file is empty)";
        return {};
    }
    Value value = parsePropertyList(*bytes);
    if (value.isAbsent()) *problem = "not a property list (malformed or unsupported format)";
    return value;
}

int print(const std::string& path) {
    std::string problem;
    const Value value = load(path, &problem);
    if (value.isAbsent()) {
        complain(path + ": " + problem);
        return 1;
    }
    if (!writeAll(stdout, printPropertyList(value))) {
        complain("cannot write to standard output");
        return 1;
    }
    return 0;
}

int lint(const std::vector<std::string>& paths) {
    int status = 0;
    for (const std::string& path : paths) {
        std::string problem;
        if (load(path, &problem).isAbsent()) {
            std::printf("%s: %s\n", path.c_str(), problem.c_str());
            status = 1;
        } else {
            std::printf("%s: OK\n", path.c_str());
        }
    }
    return status;
}

// Converts one file; output empty means in place.
bool convert(const std::string& path, PropertyListFormat format, const std::string& formatName,
             const std::string& output) {
    std::string problem;
    const Value value = load(path, &problem);
    if (value.isAbsent()) {
        complain(path + ": " + problem);
        return false;
    }
    const auto bytes = writePropertyList(value, format);
    if (!bytes) {
        complain(path + ": cannot write " + formatName + ": " + whyWriterRefuses(value, format));
        return false;
    }
    if (output == "-") {
        if (writeAll(stdout, *bytes)) return true;
        complain("cannot write to standard output");
        return false;
    }
    const std::string& target = output.empty() ? path : output;
    if (!writeFileBytes(target, *bytes, true)) {
        complain(target + ": cannot write the file");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help") {
        return writeAll(stdout, kUsage) ? 0 : 1;
    }

    std::size_t next = 1;
    std::string formatName;
    if (command == "-convert") {
        if (args.size() < 2) return usageError("-convert needs a format: xml1 or binary1");
        formatName = args[1];
        if (formatName != "xml1" && formatName != "binary1")
            return usageError("unknown format '" + formatName + "': use xml1 or binary1");
        next = 2;
    } else if (command != "-p" && command != "-lint") {
        return usageError("unknown option '" + command + "'");
    }

    // The rest: FILE arguments, and -o OUT for -convert; "--" ends the options.
    std::vector<std::string> files;
    std::string output;
    bool optionsEnded = false;
    for (std::size_t i = next; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-o" && command == "-convert") {
            if (++i == args.size()) return usageError("-o needs a file name");
            output = args[i];
            if (output.empty()) return usageError("-o needs a file name");
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }
    if (files.empty()) return usageError(command + " needs a FILE");

    if (command == "-p") {
        if (files.size() != 1) return usageError("-p takes exactly one FILE");
        return print(files[0]);
    }
    if (command == "-lint") return lint(files);

    if (!output.empty() && files.size() != 1) return usageError("-o takes exactly one FILE");
    if (output.empty() && files.size() == 1 && files[0] == "-")
        return usageError("standard input cannot be converted in place: add -o OUT");
    const PropertyListFormat format =
        formatName == "xml1" ? PropertyListFormat::Xml : PropertyListFormat::Binary;
    bool ok = true;
    for (const std::string& path : files) {
        if (output.empty() && path == "-") {
            complain("standard input cannot be converted in place: add -o OUT");
            ok = false;
            continue;
        }
        ok = convert(path, format, formatName, output) && ok;
    }
    return ok ? 0 : 1;
}
