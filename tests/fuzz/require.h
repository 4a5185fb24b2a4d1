// A fuzz target's property check: a broken property is a crash libFuzzer
// keeps as a finding.
#pragma once

#include <cstdlib>

inline void Require(bool condition) {
    if (!condition) std::abort();
}
