// SPDX-License-Identifier: MIT
// The middle of a benchmark's measurements, which one disturbed run does not move.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace varnelo::bench {

// The middle value, or the mean of the two middle values of an even count; `values` must not
// be empty.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace varnelo::bench
