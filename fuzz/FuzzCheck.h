#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzcheck {

// A broken property ends the run with abort(), which libFuzzer records as a crash and saves the input.
[[noreturn]] inline void fail(const char* property, const std::string& detail) {
    std::fprintf(stderr, "property broken: %s\n%s\n", property, detail.c_str());
    std::abort();
}

inline void require(bool holds, const char* property) {
    if (!holds) fail(property, std::string());
}

// The detail is built only for a broken property: building it for every input would slow the run and
// feed the harness's own branches to the coverage feedback.
template <typename Detail>
void require(bool holds, const char* property, const Detail& detail) {
    if (!holds) fail(property, detail());
}

// Control bytes and bytes above 0x7E as \xNN so that a report shows exactly what went in.
inline std::string visible(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace fuzzcheck
