#include "common/JsonEncode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

namespace {

// The seven bytes with a short escape; every other byte below 0x20 takes the six-byte \u00XX form.
char shortEscape(unsigned char c) {
    switch (c) {
        case '"':
            return '"';
        case '\\':
            return '\\';
        case '\b':
            return 'b';
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\f':
            return 'f';
        case '\r':
            return 'r';
        default:
            return '\0';
    }
}

std::size_t encodedLength(const unsigned char* text) {
    std::size_t length = 3;  // two quotation marks and the terminating NUL
    for (const unsigned char* p = text; *p != '\0'; ++p) {
        if (shortEscape(*p) != '\0') {
            length += 2;
        } else if (*p < 0x20) {
            length += 6;
        } else {
            length += 1;
        }
    }
    return length;
}

// Per byte: 0 when copied unchanged, the letter of its short escape, or 'u' for the \u00XX form.
// NUL is marked too, so the scan for plain runs stops at it.
constexpr std::array<char, 256> escapeForms() {
    std::array<char, 256> forms{};
    for (int c = 0; c < 0x20; ++c) {
        forms[static_cast<std::size_t>(c)] = 'u';
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

// Bytes each input byte takes in the output.
constexpr std::array<unsigned char, 256> encodedWidths() {
    std::array<unsigned char, 256> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = kEscapeForms[c] == '\0' ? 1 : kEscapeForms[c] == 'u' ? 6 : 2;
    }
    return widths;
}

constexpr std::array<unsigned char, 256> kEncodedWidths = encodedWidths();

const char kHexDigits[] = "0123456789abcdef";

}  // namespace

extern "C" char* cJSON_EncodeString(const char* text) {
    if (text == nullptr) {
        char* empty = static_cast<char*>(std::malloc(1));
        if (empty != nullptr) {
            empty[0] = '\0';
        }
        return empty;
    }
    const auto* input = reinterpret_cast<const unsigned char*>(text);
    char* const output = static_cast<char*>(std::malloc(encodedLength(input)));
    if (output == nullptr) {
        return nullptr;
    }
    static const char hexDigits[] = "0123456789abcdef";
    char* out = output;
    *out++ = '"';
    for (const unsigned char* p = input; *p != '\0'; ++p) {
        const char escape = shortEscape(*p);
        if (escape != '\0') {
            *out++ = '\\';
            *out++ = escape;
        } else if (*p < 0x20) {
            // Same text as "\\u%04x" would give; bytes above 0x7F pass unchanged.
            *out++ = '\\';
            *out++ = 'u';
            *out++ = '0';
            *out++ = '0';
            *out++ = hexDigits[*p >> 4];
            *out++ = hexDigits[*p & 0x0F];
        } else {
            *out++ = static_cast<char>(*p);
        }
    }
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
    const auto* const end = begin + length;
    const auto* p = begin;
    while (p != end && kEscapeForms[*p] == '\0') {
        ++p;
    }
    const auto plain = static_cast<std::size_t>(p - begin);
    if (p == end || *p == '\0') {
        // Nothing to escape, the common case: one copy.
        out.reserve(out.size() + plain + 2);
        out += '"';
        out.append(text, plain);
        out += '"';
        return;
    }
    // Otherwise the exact size first, so the escapes are written without a check per byte.
    const auto* stop = p;
    std::size_t size = plain + 2;
    for (; stop != end && *stop != '\0'; ++stop) {
        size += kEncodedWidths[*stop];
    }
    const std::size_t at = out.size();
    out.resize(at + size);
    char* o = &out[at];
    *o++ = '"';
    o = std::copy(text, text + plain, o);
    for (; p != stop; ++p) {
        const char form = kEscapeForms[*p];
        if (form == '\0') {
            *o++ = static_cast<char>(*p);
        } else if (form == 'u') {
            const char escaped[6] = {'\\', 'u', '0', '0', kHexDigits[*p >> 4], kHexDigits[*p & 0x0F]};
            o = std::copy(escaped, escaped + sizeof escaped, o);
        } else {
            *o++ = '\\';
            *o++ = form;
        }
    }
    *o = '"';
}

}  // namespace proto
