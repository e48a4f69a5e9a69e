// Property-list files: reading into mutable containers, plain and atomic writes, deep copies.
#include "plist/file_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

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

private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Temporary files are "." + target name + "." + kSuffixLength letters and digits + ".tmp".
constexpr std::size_t kSuffixLength = 8;
constexpr std::string_view kTemporaryEnd = ".tmp";
// A temporary file untouched this long belongs to a writer that was killed: a live one finishes
// its write and flush in far less.
constexpr std::time_t kStaleAfterSeconds = 5 * 60;

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 64 bits that differ between calls and between processes, forked children included: a
// generator seeded once would hand a child its parent's names, so every call asks the kernel.
// Without the kernel's randomness, pid, a counter and the clock still keep processes apart.
std::uint64_t freshBits() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits = 0;
    bool got = ::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits);
    if (!got) {
        const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            got = ::read(fd, &bits, sizeof bits) == static_cast<ssize_t>(sizeof bits);
            ::close(fd);
        }
    }
    if (!got) {
        const auto now =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        bits = now * 0x9E3779B97F4A7C15u;
    }
    // Mixed in always, so that even a failing source never repeats a name within a process.
    bits ^= (static_cast<std::uint64_t>(::getpid()) << 40) ^
            counter.fetch_add(1, std::memory_order_relaxed);
    bits ^= bits >> 31;
    bits *= 0xD6E8FEB86659FD93u;
    bits ^= bits >> 32;
    return bits;
}

// A name beside path that no other writer picks.
std::string temporaryNameFor(const std::string& path) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t bits = freshBits();
    std::string suffix(kSuffixLength, '0');
    for (char& c : suffix) {
        c = digits[bits % 36];
        bits /= 36;
    }
    return folderOf(path) + "/." + nameOf(path) + "." + suffix + std::string(kTemporaryEnd);
}

// True when entry is one of our temporary names for the target called name.
bool isTemporaryNameOf(std::string_view entry, std::string_view name) {
    if (entry.size() != 1 + name.size() + 1 + kSuffixLength + kTemporaryEnd.size()) return false;
    if (entry[0] != '.' || entry.substr(1, name.size()) != name || entry[1 + name.size()] != '.')
        return false;
    if (entry.substr(entry.size() - kTemporaryEnd.size()) != kTemporaryEnd) return false;
    for (const char c : entry.substr(2 + name.size(), kSuffixLength))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

// Removes what killed writers left beside path: our own temporary names for this target only,
// regular files of this user that nobody has written to for a while. Failures are ignored; the
// save does not depend on them.
void removeStaleTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string name = nameOf(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    while (const dirent* e = ::readdir(dir)) {
        if (!isTemporaryNameOf(e->d_name, name)) continue;
        struct stat st {};
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        // A file from the future (a clock set back) is left alone too.
        if (st.st_mtime > now || now - st.st_mtime < kStaleAfterSeconds) continue;
        ::unlinkat(dirFd, e->d_name, 0);
    }
    ::closedir(dir);
}

// Once this many bytes of an atomic write are written, the kernel is asked to start putting
// them on disk, so that the disk works while the rest is produced.
constexpr std::uint64_t kWritebackEvery = std::uint64_t{1} << 20;

// The file a write goes to: beside the target for an atomic write, the target itself
// otherwise. Opened at the first byte, so a producer that gives up before producing anything
// leaves everything as it was. Removes an uncommitted temporary file when destroyed.
class FileSink final : public ByteSink {
public:
    FileSink(const std::string& path, bool atomically, mode_t newFileMode)
        : path_(path), atomically_(atomically), mode_(newFileMode) {}
    ~FileSink() override {
        if (fd_ >= 0) ::close(fd_);
        if (!tmp_.empty()) ::unlink(tmp_.c_str());
    }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool write(std::string_view bytes) override {
        if (failed_ || (fd_ < 0 && !open())) return fail();
        if (!atomically_) return writeAllToDescriptor(fd_, bytes) || fail();
        while (!bytes.empty()) {
            const auto piece = bytes.substr(0, kWritebackEvery);
            if (!writeAllToDescriptor(fd_, piece)) return fail();
            bytes.remove_prefix(piece.size());
            written_ += piece.size();
            if (written_ - queued_ >= kWritebackEvery) {
                // Only a head start: when the file system refuses, the final fsync still does
                // all the work.
                ::sync_file_range(fd_, static_cast<off_t>(queued_),
                                  static_cast<off_t>(written_ - queued_), SYNC_FILE_RANGE_WRITE);
                queued_ = written_;
            }
        }
        return true;
    }

    // Ends a write whose bytes are all in: flushed and renamed over the target when atomic.
    bool commit() {
        if (failed_ || (fd_ < 0 && !open())) return false;
        const bool flushed = !atomically_ || ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!flushed || !closed) return false;
        if (atomically_ && ::rename(tmp_.c_str(), path_.c_str()) != 0) return false;
        tmp_.clear();
        return true;
    }

private:
    bool fail() {
        failed_ = true;
        return false;
    }

    bool open() {
        if (!atomically_) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode_);
            return fd_ >= 0;
        }
        mode_t mode = mode_;
        bool keepMode = false;
        struct stat existing {};
        if (::stat(path_.c_str(), &existing) == 0) {
            mode = existing.st_mode & 07777;
            keepMode = true;
        }
        removeStaleTemporaries(path_);
        for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
            const std::string tmp = temporaryNameFor(path_);
            fd_ = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ >= 0)
                tmp_ = tmp;
            else if (errno != EEXIST)
                return false;
        }
        // open() applied the umask; an existing file's own mode is restored exactly.
        return fd_ >= 0 && (!keepMode || ::fchmod(fd_, mode) == 0);
    }

    const std::string& path_;
    const bool atomically_;
    const mode_t mode_;
    int fd_ = -1;
    std::string tmp_;  // the temporary file while it exists
    bool failed_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t queued_ = 0;  // bytes handed to the kernel's writeback so far
};

}  // namespace

bool writeAllToDescriptor(int fd, std::string_view bytes) {
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

std::optional<std::string> readFileBytes(const std::string& path, std::size_t maxBytes) {
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    // The size may change while we read; read to the end, within the limit. Once the bytes the
    // file had are in, a small read looks for more before the buffer grows, so that the usual
    // whole read costs no second, larger buffer.
    char probe[512];
    for (;;) {
        const bool full = got == bytes.size();
        if (full && bytes.size() >= maxBytes) break;
        char* into = full ? probe : bytes.data() + got;
        const std::size_t room = full ? std::min(sizeof probe, maxBytes - got) : bytes.size() - got;
        const ssize_t n = ::read(file.get(), into, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        if (full) {
            bytes.resize(std::min(maxBytes, std::max<std::size_t>(bytes.size() * 2, 4096)));
            std::memcpy(bytes.data() + got, probe, static_cast<std::size_t>(n));
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool writeFileBytes(const std::string& path, std::string_view bytes, bool atomically,
                    mode_t newFileMode) {
    return writeFileWith(path, atomically, newFileMode,
                         [bytes](ByteSink& sink) { return sink.write(bytes); });
}

bool writeFileWith(const std::string& path, bool atomically, mode_t newFileMode,
                   const std::function<bool(ByteSink&)>& produce) {
    FileSink sink(path, atomically, newFileMode);
    return produce(sink) && sink.commit();
}

Value propertyListWithContentsOfFile(const std::string& path, PropertyListFormat* format) {
    const auto bytes = readFileBytes(path);
    if (!bytes) return {};
    return parsePropertyList(*bytes, format);
}

DictRef mutableDictionaryWithContentsOfFile(const std::string& path) {
    return propertyListWithContentsOfFile(path).dictionary();
}

bool writeDictionaryToFile(const Dictionary& dict, const std::string& path,
                           PropertyListFormat format, bool atomically, mode_t newFileMode) {
    // Every dictionary made through create() is shared; one that is not is written from a copy.
    DictRef shared = std::const_pointer_cast<Dictionary>(dict.sharedReference());
    if (!shared) shared = deepCopy(dict);
    if (!shared) return false;
    const Value value(std::move(shared));
    if (format == PropertyListFormat::Binary)
        return writeFileWith(path, atomically, newFileMode, [&value](ByteSink& sink) {
            return writeBinaryPropertyList(value, sink);
        });
    const auto bytes = writeXmlPropertyList(value);
    return bytes && writeFileBytes(path, *bytes, atomically, newFileMode);
}

bool writeToBinaryFile(const Dictionary& dict, const std::string& path, bool atomically) {
    return writeDictionaryToFile(dict, path, PropertyListFormat::Binary, atomically);
}

bool writeToFile(const Dictionary& dict, const std::string& path, bool atomically) {
    return writeDictionaryToFile(dict, path, PropertyListFormat::Xml, atomically);
}

DictRef mutableDeepAutoreleasedCopy(const Dictionary& dict) {
    return deepCopy(dict);
}

}  // namespace quillon
