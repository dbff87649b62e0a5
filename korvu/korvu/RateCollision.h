#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <vector>

#include "korvu/korvu/RateRecord.h"

namespace korvu {

// True when the two hour ranges are compatible, false when the second collides with the first.
// The rule is not symmetric: the order of the two ranges matters.
bool rateHoursCompatible(const std::string& fromHour1, const std::string& toHour1,
                         const std::string& fromHour2, const std::string& toHour2);

// The extensions column split at every ',' without trimming; empty pieces count, "" is one empty piece.
std::vector<std::string> splitExtensions(const std::string& extensions);

// Number of colliding record pairs, each pair tested with the earlier record as the first range;
// -1 for an empty list. Saturates at INT_MAX instead of overflowing.
int countRateCollisions(const std::list<RateRecord>& records);

// The same count with the key hash that groups the records given; records are compared only
// within runs of equal hash, so any hash gives the same count (the tests use degenerate ones).
using RateKeyHash = std::size_t (*)(const RateRecord&);
std::size_t rateKeyHash(const RateRecord& record);
int countRateCollisions(const std::list<RateRecord>& records, RateKeyHash keyHash);

}  // namespace korvu
