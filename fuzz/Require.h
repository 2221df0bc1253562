#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a crash to libFuzzer, which keeps the input that caused it.
inline void require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
