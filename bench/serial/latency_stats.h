#pragma once

// Order statistics of a set of measured durations.

#include <chrono>
#include <vector>

namespace bench {

using Nanos = std::chrono::nanoseconds;

struct Summary {
    std::size_t count = 0;
    Nanos median{0};
    Nanos p99{0};
    Nanos max{0};
};

// The q-quantile (0 <= q <= 1) by the nearest-rank rule: the smallest sample that at least
// q of all samples do not exceed. Empty input gives 0.
[[nodiscard]] Nanos quantile(std::vector<Nanos> samples, double q);
[[nodiscard]] Summary summarise(const std::vector<Nanos>& samples);
// "12.3 us" style text.
[[nodiscard]] std::string microseconds(Nanos d);

} // namespace bench
