// Parses one binary property list in a process of its own and reports its peak memory, which a
// test's own process, with the memory of earlier tests, cannot tell.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "plist/property_list.h"

// Usage: plist_parse_probe FILE; prints "read" or "refused" and the peak resident set in KiB.
int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) return 2;
    const bool read = quillon::parseBinaryPropertyList(bytes.str()).isPresent();
    std::ifstream status("/proc/self/status");
    std::string line;
    long peak = -1;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) peak = std::stol(line.substr(6));
    std::printf("%s %ld\n", read ? "read" : "refused", peak);
    return 0;
}
