// The borrow rules of a mutable Python-visible object: many readers or one writer at a time.
// Python code run in the middle of an operation (a model's validation, say) can call back into
// the same object; the flag turns what would be a half-done update into a RuntimeError.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>

namespace velloquin::python {

class BorrowFlag {
 public:
  class Shared;
  class Exclusive;

  // A shared borrow; fails with RuntimeError "Already mutably borrowed" (nullopt) while an
  // exclusive borrow is held.
  std::optional<Shared> share();
  // An exclusive borrow; fails with RuntimeError "Already borrowed" (nullopt) while any borrow
  // is held.
  std::optional<Exclusive> take();

 private:
  static constexpr std::int64_t kExclusive = -1;
  std::int64_t state_ = 0;  // the number of shared borrows, or kExclusive
};

class BorrowFlag::Shared {
 public:
  explicit Shared(BorrowFlag& flag) : flag_(&flag) { ++flag_->state_; }
  Shared(Shared&& other) noexcept : flag_(other.flag_) { other.flag_ = nullptr; }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
  Shared& operator=(Shared&&) = delete;
  ~Shared() {
    if (flag_ != nullptr) --flag_->state_;
  }

 private:
  BorrowFlag* flag_;
};

class BorrowFlag::Exclusive {
 public:
  explicit Exclusive(BorrowFlag& flag) : flag_(&flag) { flag_->state_ = kExclusive; }
  Exclusive(Exclusive&& other) noexcept : flag_(other.flag_) { other.flag_ = nullptr; }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;
  Exclusive& operator=(Exclusive&&) = delete;
  ~Exclusive() {
    if (flag_ != nullptr) flag_->state_ = 0;
  }

 private:
  BorrowFlag* flag_;
};

inline std::optional<BorrowFlag::Shared> BorrowFlag::share() {
  if (state_ == kExclusive) {
    PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
    return std::nullopt;
  }
  return Shared(*this);
}

inline std::optional<BorrowFlag::Exclusive> BorrowFlag::take() {
  if (state_ != 0) {
    PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
    return std::nullopt;
  }
  return Exclusive(*this);
}

}  // namespace velloquin::python
