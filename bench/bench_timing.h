// The timing loop every benchmark program here shares.
#pragma once

#include <algorithm>
#include <chrono>

namespace velloquin::bench {

// Runs `body` `iterations` times, five times over, and returns the best time per call in ns.
template <class Body>
double best_ns_per_call(int iterations, Body&& body) {
  using Clock = std::chrono::steady_clock;
  double best = 1e300;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) body();
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count() / iterations);
  }
  return best;
}

}  // namespace velloquin::bench
