#pragma once

#include <string>

namespace proto {

// Argument numbers travel as JSON strings. Each converter accepts only digits and '-' (toDouble
// also '.'), and sscanf must read one value from the whole text: "12-3" and "1.2.3" are refused,
// leading zeros are not. A number the result type cannot hold is refused too. A refusal throws
// proto::InvalidArgException quoting the whole text.
int toInt(const std::string& text);
long long toLongLong(const std::string& text);
double toDouble(const std::string& text);

}  // namespace proto
