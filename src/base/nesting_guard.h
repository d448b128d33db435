// Bounds the recursion of the functions that walk nested values (printing, comparing,
// serialising), so that no value, however deep, can exhaust the stack.
#pragma once

namespace velloquin::jinja {

inline constexpr int kMaxValueNesting = 1000;

class NestingGuard {
 public:
  NestingGuard() { ++depth_; }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
  bool too_deep() const { return depth_ > kMaxValueNesting; }

 private:
  static inline thread_local int depth_ = 0;
};

}  // namespace velloquin::jinja
