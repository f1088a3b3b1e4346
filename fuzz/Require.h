#pragma once

#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

// Ends the run when an invariant does not hold. Unlike assert it stays on in optimised builds,
// and libFuzzer reports the abort as a crash and keeps the input that caused it.
inline void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "Invariant broken: %s\n", what);
    std::abort();
}

}  // namespace qv::fuzz
