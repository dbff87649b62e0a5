#include "common/JsonEncode.h"

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
    const EncodedText encoded(cJSON_EncodeString(text.c_str()));
    if (!encoded) {
        throw std::bad_alloc();
    }
    return std::string(encoded.get());
}

}  // namespace proto
