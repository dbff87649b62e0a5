#include "korvu/korvu/RateCollision.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>

namespace korvu {

namespace {

const std::string dayStart = "00:00";
const std::string dayEnd = "99:99";

// A range passing midnight is split into "00:00" to its end and its start to "99:99". A stored
// text sorting below "00:00" as the end (say "") or above "99:99" as the start (say "9:00") would
// make a part pass midnight again and the split would never end, so such a part is bounded by the
// text itself: the result is unchanged for every text the plain split ends on, HH:MM texts included,
// and no part can pass midnight again.
const std::string& partStart(const std::string& to) { return std::min(dayStart, to); }
const std::string& partEnd(const std::string& from) { return std::max(dayEnd, from); }

bool compatible(const std::string& f1, const std::string& t1, const std::string& f2, const std::string& t2) {
    if (f2 > t2) {
        return compatible(f1, t1, partStart(t2), t2) && compatible(f1, t1, f2, partEnd(f2));
    }
    if (f1 > t1) {
        return compatible(partStart(t1), t1, f2, t2) && compatible(f1, partEnd(f1), f2, t2);
    }
    if (f1 <= f2 && f2 < t1) return false;  // the second range starts inside the first
    if (t2 <= f1) return true;              // the second range ends before the first begins
    return t2 > t1;                         // otherwise it must not end inside the first
}

bool sameKey(const RateRecord& a, const RateRecord& b) {
    return a.numberLength == b.numberLength && a.prefix == b.prefix && a.extensions == b.extensions;
}

}  // namespace

std::size_t rateKeyHash(const RateRecord& record) {
    const std::hash<std::string> text;
    std::size_t hash = text(record.prefix);
    hash = hash * 1000003u ^ text(record.extensions);
    return hash * 1000003u ^ static_cast<std::size_t>(static_cast<unsigned>(record.numberLength));
}

bool rateHoursCompatible(const std::string& fromHour1, const std::string& toHour1,
                         const std::string& fromHour2, const std::string& toHour2) {
    return compatible(fromHour1, toHour1, fromHour2, toHour2);
}

std::vector<std::string> splitExtensions(const std::string& extensions) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = extensions.find(',', start);
        if (comma == std::string::npos) {
            pieces.push_back(extensions.substr(start));
            return pieces;
        }
        pieces.push_back(extensions.substr(start, comma - start));
        start = comma + 1;
    }
}

int countRateCollisions(const std::list<RateRecord>& records) {
    return countRateCollisions(records, rateKeyHash);
}

int countRateCollisions(const std::list<RateRecord>& records, RateKeyHash keyHash) {
    if (records.empty()) return -1;
    // Only records with equal prefix, number length and extension can collide, so pairs are tested
    // only among records of equal key hash. The records are bucketed by hash in one pass and laid out
    // group after group by a stable counting pass, so list order inside each group still decides which
    // range is the first of a pair; unequal keys sharing a hash are skipped by the full key test.
    const std::size_t total = records.size();
    // At least a fifth of the slots stay free; at 8 bytes a slot, the table for 100,000 records fits in
    // a 1 MiB cache, and a probe run rarely leaves its cache line.
    unsigned bits = 4;
    while ((std::size_t{4} << bits) < 5 * total) ++bits;
    const std::size_t mask = (std::size_t{1} << bits) - 1;
    struct Slot {
        std::uint32_t tag;    // the low half of the mixed hash; the slot's position holds its top bits
        std::uint32_t group;  // 0 while the slot is free, otherwise the group number plus one
    };
    std::vector<Slot> slots(mask + 1, Slot{0, 0});
    std::vector<std::uint32_t> groupOf;
    groupOf.reserve(total);
    // Once summed up, group g takes places bounds[g] to bounds[g + 1].
    std::vector<std::uint32_t> bounds(1, 0);
    for (const auto& record : records) {
        // A Fibonacci product: hashes alike in their low bits still spread over the top ones. Keys whose
        // products share the tag and the probe run merge into one group; the full key test parts them.
        const std::uint64_t mixed = static_cast<std::uint64_t>(keyHash(record)) * 0x9E3779B97F4A7C15u;
        const auto tag = static_cast<std::uint32_t>(mixed);
        std::size_t at = static_cast<std::size_t>(mixed >> (64 - bits));
        while (slots[at].group != 0 && slots[at].tag != tag) at = (at + 1) & mask;
        if (slots[at].group == 0) {
            slots[at] = Slot{tag, static_cast<std::uint32_t>(bounds.size())};
            bounds.push_back(0);
        }
        const std::uint32_t group = slots[at].group - 1;
        groupOf.push_back(group);
        ++bounds[group + 1];
    }
    for (std::size_t g = 1; g < bounds.size(); ++g) bounds[g] += bounds[g - 1];
    std::vector<std::uint32_t> next(bounds.begin(), bounds.end() - 1);
    std::vector<const RateRecord*> ordered(total);
    std::size_t position = 0;
    for (const auto& record : records) ordered[next[groupOf[position++]]++] = &record;

    long long count = 0;
    for (std::size_t g = 0; g + 1 < bounds.size(); ++g) {
        const std::size_t runEnd = bounds[g + 1];
        for (std::size_t i = bounds[g]; i < runEnd; ++i) {
            const RateRecord& a = *ordered[i];
            for (std::size_t j = i + 1; j < runEnd; ++j) {
                const RateRecord& b = *ordered[j];
                if (sameKey(a, b) && !compatible(a.fromHour, a.toHour, b.fromHour, b.toHour)) ++count;
            }
        }
    }
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

}  // namespace korvu
