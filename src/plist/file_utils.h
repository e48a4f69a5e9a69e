// Property-list files: reading into mutable containers, plain and atomic writes, deep copies.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "plist/property_list.h"
#include "plist/value.h"

namespace quillon {

// The whole file, or nothing when it cannot be read. Files larger than maxBytes count as
// unreadable, so a hostile file cannot make a reader allocate without bound.
std::optional<std::string> readFileBytes(const std::string& path,
                                         std::size_t maxBytes = std::size_t{1} << 30);

// Writes bytes to path. Atomically: into a temporary file in the same folder, flushed to disk,
// then renamed over path, so that a reader sees the old file or the new one, never a part.
// A file created anew gets newFileMode (less the umask); an existing file keeps its mode.
// A failed write returns false and leaves an existing file as it was when atomic.
bool writeFileBytes(const std::string& path, std::string_view bytes, bool atomically,
                    mode_t newFileMode = 0644);

// Writes to path, with the rules of writeFileBytes, the bytes that produce hands to the sink, as
// it produces them. Nothing is created or truncated before the first byte arrives (or before
// produce returns, for an empty file). An atomic write has the kernel put each megabyte on disk
// as soon as it is written, so that the flush at the end has little left to wait for.
// produce returning false, or the sink refusing bytes, fails the write; an exception from
// produce propagates once the temporary file is removed.
bool writeFileWith(const std::string& path, bool atomically, mode_t newFileMode,
                   const std::function<bool(ByteSink&)>& produce);

// Writes all of bytes to an open descriptor, resuming after interruptions and short writes;
// false on the first error.
bool writeAllToDescriptor(int fd, std::string_view bytes);

// Any property list in either format, or absent when the file cannot be read or parsed.
Value propertyListWithContentsOfFile(const std::string& path, PropertyListFormat* format = nullptr);

// The dictionary in the file, all containers mutable; nothing when the file cannot be read or
// parsed or its top level is not a dictionary.
DictRef mutableDictionaryWithContentsOfFile(const std::string& path);

// Serialises dict in format and writes it under the rules of writeFileBytes; the binary format
// goes into the file as it is laid out. A dictionary not held by a shared_ptr is written from a
// copy. False when either step fails.
bool writeDictionaryToFile(const Dictionary& dict, const std::string& path,
                           PropertyListFormat format, bool atomically, mode_t newFileMode = 0644);

// Serialises dict as a binary property list and writes it; false when either step fails.
bool writeToBinaryFile(const Dictionary& dict, const std::string& path, bool atomically);

// Serialises dict as an XML property list and writes it; false when either step fails.
bool writeToFile(const Dictionary& dict, const std::string& path, bool atomically);

// A deep copy that shares no container with dict, or nothing when dict is not a property list.
DictRef mutableDeepAutoreleasedCopy(const Dictionary& dict);

}  // namespace quillon
