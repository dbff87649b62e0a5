#include <charconv>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <string>

#include "korvu/korvu/Korvu.h"

namespace korvu {

namespace {

// Locale-free on purpose: a byte of 128 or more is never a digit.
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool digitsAt(const std::string& value, std::initializer_list<std::size_t> positions) {
    for (const std::size_t position : positions) {
        if (!isDigit(value[position])) {
            return false;
        }
    }
    return true;
}

const char kNotNegative[] = "value equal or greater than 0";

std::string badValue(const std::string& name, const std::string& expectation, const std::string& shown) {
    return "Bad value of field: " + name + ". Expected " + expectation + ", got: " + shown;
}

std::string badValue(const std::string& name, const std::string& expectation, int value) {
    return badValue(name, expectation, std::to_string(value));
}

// Fixed notation with the fewest digits that read back as the same double: the form in which the
// client wrote it, since the converter takes no exponent ("-0.0000001", "-0.1", never "-1e-07").
std::string fixedText(double value) {
    char text[400];  // room for any value between -1 and 0: "-0.", up to 323 zeros, 17 digits
    const auto written = std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed);
    return std::string(text, written.ptr);
}

}  // namespace

bool Korvu::checkHourFormat(const std::string& value) {
    // Only the shape HH:MM counts; 24:00 and 99:99 pass.
    return value.size() == 5 && digitsAt(value, {0, 1, 3, 4}) && value[2] == ':';
}

bool Korvu::checkDateFormat(const std::string& value) {
    // Only the shape YYYY-MM-DD HH:MM counts; month 13 passes.
    return value.size() == 16 && digitsAt(value, {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15}) &&
           value[4] == '-' && value[7] == '-' && value[10] == ' ' && value[13] == ':';
}

void Korvu::checkHourFormatOrThrow(const std::string& value) {
    if (!checkHourFormat(value)) {
        throw InvalidArgException("Invalid hour format: " + value);
    }
}

void Korvu::checkDateFormatOrThrow(const std::string& value) {
    if (!checkDateFormat(value)) {
        throw InvalidArgException("Invalid date format: " + value);
    }
}

void Korvu::checkStringArgOrThrow(const std::string& name, const std::string& value,
                                  const std::list<std::string>& allowed) {
    // "Filed" is the text clients already receive; it stays as it is.
    if (value.empty()) {
        throw InvalidArgException("Filed '" + name + "' cannot be empty");
    }
    for (const std::string& candidate : allowed) {
        if (candidate == value) {
            return;
        }
    }
    throw InvalidArgException("Invalid value for '" + name + "'");
}

void Korvu::checkBillStatusOrThrow(const std::string& value) {
    if (value != "FREE" && value != "LOCK") {
        throw InvalidArgException("Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: " +
                                  value);
    }
}

void Korvu::checkIfNotNegativeOrThrow(const std::string& name, int value) {
    if (value < 0) {
        throw InvalidArgException(badValue(name, kNotNegative, value));
    }
}

// Between -1 and 0 the truncated value would read "got: 0", so the value itself is shown. Beyond the
// int range the truncation would be undefined, so such values take the nearest end of the range: a
// huge negative value is refused showing INT_MIN, a huge positive one passes.
void Korvu::checkIfNotNegativeOrThrow(const std::string& name, double value) {
    if (std::isnan(value)) {
        throw InvalidArgException(badValue(name, kNotNegative, "nan"));
    }
    if (value < 0 && value > -1) {
        throw InvalidArgException(badValue(name, kNotNegative, fixedText(value)));
    }
    int truncated = 0;
    if (value <= static_cast<double>(INT_MIN)) {
        truncated = INT_MIN;
    } else if (value >= static_cast<double>(INT_MAX)) {
        truncated = INT_MAX;
    } else {
        truncated = static_cast<int>(value);
    }
    checkIfNotNegativeOrThrow(name, truncated);
}

void Korvu::checkIfZeroOrOneOrThrow(const std::string& name, int value) {
    if (value != 0 && value != 1) {
        throw InvalidArgException(badValue(name, "0 or 1", value));
    }
}

}  // namespace korvu
