#include "common/LogText.h"

#include "common/Utf8.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

// The bytes at the front of the text that are shown, or escaped, as a whole: one ASCII byte, one
// well-formed UTF-8 sequence, or the maximal subpart of an ill-formed one.
struct Unit {
    std::size_t length;
    bool escaped;
};

// Some viewers break lines at NEL (U+0085), U+2028 and U+2029 too, and ill-formed bytes may be taken
// for anything, so those are escaped along with the C0 and C1 controls.
Unit unitAt(const unsigned char* p, const unsigned char* end) {
    if (*p < 0x80) {
        return {1, *p < 0x20 || *p == 0x7F};
    }
    const Utf8Step step = utf8Step(p, end);
    if (!step.wellFormed) {
        return {step.length, true};
    }
    const bool c1Control = p[0] == 0xC2 && p[1] < 0xA0;
    const bool separator = p[0] == 0xE2 && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9);
    return {step.length, c1Control || separator};
}

// \n, \r, \t or \xNN.
void appendEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += {'\\', 'x', kHexDigits[c >> 4], kHexDigits[c & 0x0F]};
    }
}

}  // namespace

std::string logSafeText(std::string_view text, std::size_t limit) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = begin + text.size();
    const auto* p = begin;
    while (p != end) {
        const Unit unit = unitAt(p, end);
        if (unit.escaped || static_cast<std::size_t>(p - begin) + unit.length > limit) {
            break;
        }
        p += unit.length;
    }
    if (p == end) {
        return std::string(text);  // the common case: nothing to escape or cut
    }
    std::string out(text.data(), static_cast<std::size_t>(p - begin));
    std::string piece;
    while (p != end) {
        const Unit unit = unitAt(p, end);
        piece.clear();
        if (unit.escaped) {
            for (std::size_t k = 0; k < unit.length; ++k) {
                appendEscape(piece, p[k]);
            }
        } else {
            piece.append(reinterpret_cast<const char*>(p), unit.length);
        }
        if (out.size() + piece.size() > limit) {
            break;
        }
        out += piece;
        p += unit.length;
    }
    if (p == end) {
        return out;
    }
    return out + " ... (" + std::to_string(end - p) + " bytes cut)";
}
