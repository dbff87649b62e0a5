#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property ends the run with abort(), which libFuzzer records as a crash and saves the input.
inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
