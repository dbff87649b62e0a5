#pragma once

#include <string>
#include <vector>

#include "korvu/korvu/NullableString.h"

namespace korvu {

// The result table of one SELECT; every row holds one cell per header, in header order.
struct KorvuData {
    template <typename T>
    using ListType = std::vector<T>;

    std::vector<std::string> headers;
    std::vector<ListType<NullableString>> rows;
};

}  // namespace korvu
