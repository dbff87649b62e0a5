#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

// Writes text as a quoted JSON string literal, escaped exactly as cJSON's printer escapes string
// items, so hand-written JSON and printed trees look alike. Answers are declared UTF-8, so each
// ill-formed UTF-8 sequence (each maximal subpart of one) becomes U+FFFD; well-formed text passes
// unchanged. The result comes from malloc and is released with free; a null pointer means the
// allocation failed. A null text gives "" without quotation marks.
extern "C" char* cJSON_EncodeString(const char* text);

// Owner of a cJSON_EncodeString buffer.
struct EncodedFree {
    void operator()(char* p) const noexcept { std::free(p); }
};
using EncodedText = std::unique_ptr<char, EncodedFree>;

namespace proto {

// The text up to its first NUL byte as a JSON string literal; throws std::bad_alloc when the
// buffer cannot be allocated.
std::string encodedJsonString(const std::string& text);

// Appends to out exactly what cJSON_EncodeString gives for the first length bytes of text, stopping
// at a NUL byte among them as it does; a null text appends nothing. Table writers call it per cell,
// so it allocates only when out must grow.
void appendEncodedJsonString(std::string& out, const char* text, std::size_t length);

// The length bytes of text with each ill-formed UTF-8 sequence replaced as cJSON_EncodeString
// replaces it, and nothing else changed (no escapes, NUL bytes kept). For JSON that cJSON printed:
// it copies bytes of 0x80 and above unchecked, and since every other byte of its output is ASCII,
// replacing over the whole text gives what replacing in each string would.
std::string wellFormedUtf8(const char* text, std::size_t length);

}  // namespace proto
