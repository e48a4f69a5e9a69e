// Reading and writing property lists in the binary (version 1.0) and XML formats.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

enum class PropertyListFormat { Binary, Xml };

// Takes serialised bytes piece by piece, in order: a file being written, for one.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be taken; the writer then stops and reports failure.
    virtual bool write(std::string_view bytes) = 0;
};

// Parses a binary property list. Returns absent for anything that is not a well-formed binary
// property list: truncated or inconsistent tables, references out of range, an object that
// contains itself, nesting deeper than maxPropertyListDepth, invalid strings. A null object
// reads as absent and is left out of its container.
Value parseBinaryPropertyList(std::string_view bytes);

// Parses an XML property list. Returns absent for malformed XML or plist structure; a document
// type declaration that declares entities is refused, and no external entity is ever read.
Value parseXmlPropertyList(std::string_view bytes);

// Parses either format, told apart by the binary header "bplist00". Sets *format when given.
Value parsePropertyList(std::string_view bytes, PropertyListFormat* format = nullptr);

// Serialises value as a binary property list, version 1.0, as the original platform writes it:
// equal strings and numbers stored once, smallest integer and reference widths, ASCII strings
// where they fit and UTF-16 big-endian otherwise. Returns nothing when value is not a property
// list (see isPropertyList) or holds invalid UTF-8.
std::optional<std::string> writeBinaryPropertyList(const Value& value);

// The same bytes, handed to sink in pieces of about a megabyte as they are laid out, so that a
// large tree is never held whole in memory a second time; what sink throws reaches the caller.
// False when value is refused (the sink then has been handed nothing) or sink refuses a piece.
bool writeBinaryPropertyList(const Value& value, ByteSink& sink);

// Serialises value as an XML property list with the standard header and tab indentation.
// Returns nothing when value is not a property list, holds a UID, or holds text that XML
// cannot carry (invalid UTF-8, control characters other than tab, newline and carriage return).
std::optional<std::string> writeXmlPropertyList(const Value& value);

std::optional<std::string> writePropertyList(const Value& value, PropertyListFormat format);

}  // namespace quillon
