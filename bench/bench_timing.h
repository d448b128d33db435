// The timing loop every benchmark program here shares.
#pragma once

#include <algorithm>
#include <chrono>
#include <ctime>

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

struct Timing {
  double wall_ns;
  double cpu_ns;
};

inline double thread_cpu_ns() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Best of five runs, per call, by wall clock and by this thread's processor time: the machine
// is shared, so processor time is the steadier figure.
template <class Body>
Timing best_per_call(int iterations, Body&& body) {
  using Clock = std::chrono::steady_clock;
  Timing best{1e300, 1e300};
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    const double cpu_start = thread_cpu_ns();
    for (int i = 0; i < iterations; ++i) body();
    const double cpu = (thread_cpu_ns() - cpu_start) / iterations;
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    best.wall_ns = std::min(best.wall_ns, elapsed.count() / iterations);
    best.cpu_ns = std::min(best.cpu_ns, cpu);
  }
  return best;
}

}  // namespace velloquin::bench
