#pragma once

#include <string>

namespace proto {

// Argument numbers travel as JSON strings. Each converter accepts only digits and '-' (toDouble
// also '.') over the whole text, then needs sscanf to read one value; the rest of a text such
// as "12-3" is ignored. A number the result type cannot hold is refused too. A refusal throws
// proto::InvalidArgException quoting the whole text.
int toInt(const std::string& text);
long long toLongLong(const std::string& text);
double toDouble(const std::string& text);

}  // namespace proto
