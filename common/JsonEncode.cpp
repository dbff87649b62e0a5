#include "common/JsonEncode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/Utf8.h"

Utf8Step utf8Step(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = *p;
    if (lead >= 0xC2 && lead <= 0xDF && p + 1 != end && (p[1] & 0xC0) == 0x80) {
        return {2, true};  // the most frequent sequence outside ASCII, decided at once
    }
    std::size_t trailing;
    // The range of the first continuation byte is what excludes overlong forms, surrogates and
    // code points above U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, false};  // a continuation byte, C0, C1 or F5..FF: never the start of a sequence
    }
    for (std::size_t i = 1; i <= trailing; ++i) {
        if (p + i == end || p[i] < low || p[i] > high) {
            return {i, false};
        }
        low = 0x80;
        high = 0xBF;
    }
    return {trailing + 1, true};
}

namespace {

// Per byte: 0 when an ASCII byte is copied unchanged, the letter of its short escape, 'u' for the
// \u00XX form, or 'U' for a byte of 0x80 and above, which is copied only as part of a well-formed
// UTF-8 sequence. NUL is marked too, so the scan for plain runs stops at it.
constexpr std::array<char, 256> escapeForms() {
    std::array<char, 256> forms{};
    for (int c = 0; c < 0x20; ++c) {
        forms[static_cast<std::size_t>(c)] = 'u';
    }
    for (int c = 0x80; c < 0x100; ++c) {
        forms[static_cast<std::size_t>(c)] = 'U';
    }
    forms['"'] = '"';
    forms['\\'] = '\\';
    forms['\b'] = 'b';
    forms['\t'] = 't';
    forms['\n'] = 'n';
    forms['\f'] = 'f';
    forms['\r'] = 'r';
    return forms;
}

constexpr std::array<char, 256> kEscapeForms = escapeForms();

const char kHexDigits[] = "0123456789abcdef";
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::size_t kReplacementSize = sizeof kReplacement - 1;

// Bytes the encoded form of [p, end) takes, quotation marks not included; no NUL in the range.
std::size_t encodedSize(const unsigned char* p, const unsigned char* end) {
    std::size_t size = 0;
    while (p != end) {
        const char form = kEscapeForms[*p];
        if (form == '\0') {
            size += 1;
            ++p;
        } else if (form == 'U') {
            const Utf8Step step = utf8Step(p, end);
            size += step.wellFormed ? step.length : kReplacementSize;
            p += step.length;
        } else {
            size += form == 'u' ? 6 : 2;
            ++p;
        }
    }
    return size;
}

// Writes the encoded form of [p, end) at o, which has room for encodedSize(p, end) bytes; returns
// the end of what was written.
char* writeEncoded(char* o, const unsigned char* p, const unsigned char* end) {
    while (p != end) {
        const char form = kEscapeForms[*p];
        if (form == '\0') {
            *o++ = static_cast<char>(*p++);
        } else if (form == 'U') {
            const Utf8Step step = utf8Step(p, end);
            if (step.wellFormed) {
                o = std::copy(p, p + step.length, o);
            } else {
                o = std::copy(kReplacement, kReplacement + kReplacementSize, o);
            }
            p += step.length;
        } else if (form == 'u') {
            // Same text as "\\u%04x" would give.
            const char escaped[6] = {'\\', 'u', '0', '0', kHexDigits[*p >> 4], kHexDigits[*p & 0x0F]};
            o = std::copy(escaped, escaped + sizeof escaped, o);
            ++p;
        } else {
            *o++ = '\\';
            *o++ = form;
            ++p;
        }
    }
    return o;
}

// The end of the longest start of [p, end) that passes unchanged: bytes that keep() accepts, which are
// all below 0x80, and well-formed UTF-8 sequences. keep() is asked first: it decides the common byte.
template <typename KeepAscii>
const unsigned char* unchangedRunEnd(const unsigned char* p, const unsigned char* end, KeepAscii keep) {
    while (p != end) {
        if (keep(*p)) {
            ++p;
            continue;
        }
        if (*p < 0x80) {
            break;
        }
        const Utf8Step step = utf8Step(p, end);
        if (!step.wellFormed) {
            break;
        }
        p += step.length;
    }
    return p;
}

// What the string writer copies unchanged: ASCII that needs no escape (so not NUL) and well-formed UTF-8.
const unsigned char* plainRunEnd(const unsigned char* p, const unsigned char* end) {
    return unchangedRunEnd(p, end, [](unsigned char c) { return kEscapeForms[c] == '\0'; });
}

}  // namespace

extern "C" char* cJSON_EncodeString(const char* text) {
    if (text == nullptr) {
        char* empty = static_cast<char*>(std::malloc(1));
        if (empty != nullptr) {
            empty[0] = '\0';
        }
        return empty;
    }
    const auto* const begin = reinterpret_cast<const unsigned char*>(text);
    const auto* const end = begin + std::strlen(text);
    char* const output = static_cast<char*>(std::malloc(encodedSize(begin, end) + 3));
    if (output == nullptr) {
        return nullptr;
    }
    char* out = output;
    *out++ = '"';
    out = writeEncoded(out, begin, end);
    *out++ = '"';
    *out = '\0';
    return output;
}

namespace proto {

std::string encodedJsonString(const std::string& text) {
    std::string encoded;
    appendEncodedJsonString(encoded, text.data(), text.size());
    return encoded;
}

void appendEncodedJsonString(std::string& out, const char* text, std::size_t length) {
    if (text == nullptr) {
        return;
    }
    const auto* const begin = reinterpret_cast<const unsigned char*>(text);
    const auto* end = begin + length;
    const auto* const p = plainRunEnd(begin, end);
    const auto plain = static_cast<std::size_t>(p - begin);
    if (p == end || *p == '\0') {
        // Nothing to escape or replace, the common case: one copy.
        out.reserve(out.size() + plain + 2);
        out += '"';
        out.append(text, plain);
        out += '"';
        return;
    }
    // Otherwise the exact size first, so the rest is written without a check per byte.
    if (const void* nul = std::memchr(p, '\0', static_cast<std::size_t>(end - p))) {
        end = static_cast<const unsigned char*>(nul);
    }
    const std::size_t at = out.size();
    out.resize(at + plain + encodedSize(p, end) + 2);
    char* o = &out[at];
    *o++ = '"';
    o = std::copy(text, text + plain, o);
    o = writeEncoded(o, p, end);
    *o = '"';
}

std::string wellFormedUtf8(const char* text, std::size_t length) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(text);
    const auto* const end = begin + length;
    // ASCII, NUL included, is copied as it is here: no escapes.
    const auto wellFormedRunEnd = [end](const unsigned char* q) {
        return unchangedRunEnd(q, end, [](unsigned char c) { return c < 0x80; });
    };
    const auto* p = wellFormedRunEnd(begin);
    if (p == end) {
        return std::string(text, length);
    }
    std::string out;
    out.reserve(length + 2 * kReplacementSize);
    out.append(text, static_cast<std::size_t>(p - begin));
    while (p != end) {
        const Utf8Step step = utf8Step(p, end);  // p is at an ill-formed sequence here
        out.append(kReplacement, kReplacementSize);
        p += step.length;
        const auto* const run = wellFormedRunEnd(p);
        out.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(run - p));
        p = run;
    }
    return out;
}

}  // namespace proto
