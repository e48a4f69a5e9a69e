// Property-list files: reading into mutable containers, plain and atomic writes, deep copies.
#include "plist/file_utils.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

// Closes a descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside path that no other writer picks.
std::string temporaryNameFor(const std::string& path) {
    static std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += digits[rng() % 36];
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folderOf(path) + "/." + name + "." + suffix + ".tmp";
}

bool writeAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode) {
    mode_t mode = newFileMode;
    bool keepMode = false;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        keepMode = true;
    }
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = temporaryNameFor(path);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    Fd file(fd);
    // open() applied the umask; an existing file's own mode is restored exactly.
    bool ok = (!keepMode || ::fchmod(file.get(), mode) == 0) && writeAll(file.get(), bytes) &&
              ::fsync(file.get()) == 0;
    ok = file.close() && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
}

bool writeInPlace(const std::string& path, std::string_view bytes, mode_t newFileMode) {
    Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, newFileMode));
    if (file.get() < 0) return false;
    const bool ok = writeAll(file.get(), bytes);
    return file.close() && ok;
}

}  // namespace

std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes) {
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    // The size may change while we read; read to the end, within the limit.
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= maxBytes) break;
            bytes.resize(std::min(maxBytes, std::max<std::size_t>(bytes.size() * 2, 4096)));
        }
        const ssize_t n = ::read(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool writeFileBytes(const std::string& path, std::string_view bytes, bool atomically,
                    mode_t newFileMode) {
    return atomically ? writeAtomically(path, bytes, newFileMode)
                      : writeInPlace(path, bytes, newFileMode);
}

Value propertyListWithContentsOfFile(const std::string& path, PropertyListFormat* format) {
    const auto bytes = readFileBytes(path);
    if (!bytes) return {};
    return parsePropertyList(*bytes, format);
}

DictRef mutableDictionaryWithContentsOfFile(const std::string& path) {
    return propertyListWithContentsOfFile(path).dictionary();
}

namespace {

bool writeDictionary(const Dictionary& dict, const std::string& path, bool atomically,
                     PropertyListFormat format) {
    // Every dictionary made through create() is shared; one that is not is written from a copy.
    DictRef shared = std::const_pointer_cast<Dictionary>(dict.sharedReference());
    if (!shared) shared = deepCopy(dict);
    if (!shared) return false;
    const auto bytes = writePropertyList(Value(std::move(shared)), format);
    return bytes && writeFileBytes(path, *bytes, atomically);
}

}  // namespace

bool writeToBinaryFile(const Dictionary& dict, const std::string& path, bool atomically) {
    return writeDictionary(dict, path, atomically, PropertyListFormat::Binary);
}

bool writeToFile(const Dictionary& dict, const std::string& path, bool atomically) {
    return writeDictionary(dict, path, atomically, PropertyListFormat::Xml);
}

DictRef mutableDeepAutoreleasedCopy(const Dictionary& dict) { return deepCopy(dict); }

}  // namespace quillon
