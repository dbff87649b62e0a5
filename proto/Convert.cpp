#include "proto/Convert.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "proto/ProtoException.h"

namespace proto {

namespace {

bool onlyCharsOf(const std::string& text, bool allowPoint) {
    for (const char c : text) {
        const bool allowed = (c >= '0' && c <= '9') || c == '-' || (allowPoint && c == '.');
        if (!allowed) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void refuse(const std::string& text, const char* ending) {
    throw InvalidArgException("cannot convert '" + text + ending);
}

// sscanf wraps an int, clamps a long long and makes a double infinite when the number does not fit;
// each would silently name another record, so such a text is refused. The form checks have passed,
// so strtoll/strtod read the same leading number sscanf read.
bool fitsLongLong(const std::string& text, long long& value) {
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

}  // namespace

int toInt(const std::string& text) {
    int value = 0;
    long long wide = 0;
    if (!onlyCharsOf(text, false) || std::sscanf(text.c_str(), "%d", &value) != 1 ||
        !fitsLongLong(text, wide) || wide < INT_MIN || wide > INT_MAX) {
        refuse(text, "' to int");
    }
    return value;
}

long long toLongLong(const std::string& text) {
    long long value = 0;
    long long wide = 0;
    if (!onlyCharsOf(text, false) || std::sscanf(text.c_str(), "%lld", &value) != 1 || !fitsLongLong(text, wide)) {
        refuse(text, "' to long long int");
    }
    return value;
}

double toDouble(const std::string& text) {
    double value = 0;
    if (!onlyCharsOf(text, true) || std::sscanf(text.c_str(), "%lf", &value) != 1 || std::isinf(value)) {
        refuse(text, "' to double");
    }
    return value;
}

}  // namespace proto
