#pragma once

#include <string>

namespace korvu {

// One active rate restricted to one of its extensions: the unit the collision rule compares.
struct RateRecord {
    int id = 0;
    std::string prefix;
    int numberLength = 0;  // SQL NULL reads as 0
    std::string fromHour;
    std::string toHour;
    std::string extensions;  // ONE extension: a single comma-separated piece of the rate's column
};

}  // namespace korvu
