#include "common/LogText.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// \n, \r, \t or \xNN.
std::string escapeOf(unsigned char c) {
    switch (c) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            return {'\\', 'x', kHexDigits[c >> 4], kHexDigits[c & 0x0F]};
    }
}

}  // namespace

std::string logSafeText(std::string_view text, std::size_t limit) {
    std::size_t i = 0;
    while (i < text.size() && i < limit && !isControl(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i == text.size()) {
        return std::string(text);  // the common case: nothing to escape or cut
    }
    std::string out(text.substr(0, i));
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::string piece = isControl(c) ? escapeOf(c) : std::string(1, text[i]);
        if (out.size() + piece.size() > limit) {
            break;
        }
        out += piece;
    }
    if (i == text.size()) {
        return out;
    }
    // Bytes of 0x80 and above are shown as they are, so a cut inside a UTF-8 sequence moves back to
    // its first byte.
    const auto byte = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    for (int back = 0; back < 3 && i > 0 && (byte(i) & 0xC0) == 0x80 && byte(i - 1) >= 0x80; ++back) {
        --i;
        out.pop_back();
    }
    return out + " ... (" + std::to_string(text.size() - i) + " bytes cut)";
}
