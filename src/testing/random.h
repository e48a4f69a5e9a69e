// A small deterministic generator (xorshift), so generated files and trees are the same on
// every run.
#pragma once

#include <cstdint>

namespace quillon::testing {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    // Uniform enough in [0, n) for n far below 2^64.
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    // In [0, 1).
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t state_;
};

}  // namespace quillon::testing
