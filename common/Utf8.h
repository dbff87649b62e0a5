#pragma once

#include <cstddef>

// What starts at p, a byte of 0x80 or above: a well-formed UTF-8 sequence of length bytes, or an
// ill-formed one whose maximal subpart (the longest start of some well-formed sequence, at least one
// byte) is length bytes long, the unit Unicode and the W3C replace with one U+FFFD.
struct Utf8Step {
    std::size_t length;
    bool wellFormed;
};

// Defined in JsonEncode.cpp: the JSON writer calls it for every byte of 0x80 and above, and the
// compiler makes those calls cheapest when it sees the body beside them.
Utf8Step utf8Step(const unsigned char* p, const unsigned char* end);
