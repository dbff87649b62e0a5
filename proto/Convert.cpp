#include "proto/Convert.h"

#include <cstdio>

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

}  // namespace

int toInt(const std::string& text) {
    int value = 0;
    if (!onlyCharsOf(text, false) || std::sscanf(text.c_str(), "%d", &value) != 1) {
        refuse(text, "' to int");
    }
    return value;
}

long long toLongLong(const std::string& text) {
    long long value = 0;
    if (!onlyCharsOf(text, false) || std::sscanf(text.c_str(), "%lld", &value) != 1) {
        refuse(text, "' to long long int");
    }
    return value;
}

double toDouble(const std::string& text) {
    double value = 0;
    if (!onlyCharsOf(text, true) || std::sscanf(text.c_str(), "%lf", &value) != 1) {
        refuse(text, "' to double");
    }
    return value;
}

}  // namespace proto
