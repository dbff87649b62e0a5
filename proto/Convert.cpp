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

// sscanf must read one value and consume the whole text: "2-999" is no number, and reading its
// leading 2 would name another record.
template <typename T>
bool scannedWhole(const std::string& text, const char* format, T& value) {
    int consumed = 0;
    return std::sscanf(text.c_str(), format, &value, &consumed) == 1 &&
           static_cast<std::size_t>(consumed) == text.size();
}

[[noreturn]] void refuse(const std::string& text, const char* ending) {
    throw InvalidArgException("cannot convert '" + text + ending);
}

// sscanf wraps an int, clamps a long long and makes a double infinite when the number does not fit;
// each would silently name another record, so such a text is refused. The form checks have passed,
// so strtoll reads the same number sscanf read.
bool fitsLongLong(const std::string& text, long long& value) {
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

}  // namespace

int toInt(const std::string& text) {
    int value = 0;
    long long wide = 0;
    if (!onlyCharsOf(text, false) || !scannedWhole(text, "%d%n", value) || !fitsLongLong(text, wide) ||
        wide < INT_MIN || wide > INT_MAX) {
        refuse(text, "' to int");
    }
    return value;
}

long long toLongLong(const std::string& text) {
    long long value = 0;
    long long wide = 0;
    if (!onlyCharsOf(text, false) || !scannedWhole(text, "%lld%n", value) || !fitsLongLong(text, wide)) {
        refuse(text, "' to long long int");
    }
    return value;
}

double toDouble(const std::string& text) {
    double value = 0;
    if (!onlyCharsOf(text, true) || !scannedWhole(text, "%lf%n", value) || std::isinf(value)) {
        refuse(text, "' to double");
    }
    return value;
}

}  // namespace proto
