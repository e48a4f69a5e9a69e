// The property lists exchanged with other implementations, and their description for the peers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plist/value.h"

namespace quillon::testing {

struct InteropCase {
    std::string name;
    Value value;
    // XML can carry the value (no UIDs, no control characters, dates in whole seconds): we
    // write it as XML too, and the peers read that.
    bool xml = true;
    // The peers write the value to XML faithfully (see their limits in interop_cases.cpp).
    bool plistlibXml = true;
    bool libplistXml = true;
};

// Every case, built afresh.
std::vector<InteropCase> interopCases();

// The cases as JSON for peer.py: [{"name", "xml", "plistlib_xml", "value"}], each value a tagged array such as
// ["integer", "-5"], ["dict", [[key, value], ...]]. Numbers travel as text so no JSON reader
// rounds them.
std::string describeCasesAsJson(const std::vector<InteropCase>& cases);

// Where got and expected first differ ("root["a"][3]: expected 5, got 5.0"), or nothing when
// they are the same. Stricter than Value's ==: 0.0 and -0.0 differ.
std::optional<std::string> firstDifference(const Value& got, const Value& expected);

}  // namespace quillon::testing
