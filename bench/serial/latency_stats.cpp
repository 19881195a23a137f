#include "latency_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace bench {

Nanos quantile(std::vector<Nanos> samples, double q) {
    if (samples.empty())
        return Nanos{0};
    const auto n = samples.size();
    auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(n)));
    rank = std::clamp<std::size_t>(rank, 1, n);
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                     samples.end());
    return samples[rank - 1];
}

Summary summarise(const std::vector<Nanos>& samples) {
    Summary s;
    s.count = samples.size();
    s.median = quantile(samples, 0.5);
    s.p99 = quantile(samples, 0.99);
    s.max = quantile(samples, 1.0);
    return s;
}

std::string microseconds(Nanos d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", static_cast<double>(d.count()) / 1000.0);
    return text;
}

} // namespace bench
