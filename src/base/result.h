// A value or an error: how every fallible operation of every layer reports failure.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace velloquin {

// Wraps an error so that Result<T, E> can be built from it even when T and E are the same type.
template <class E>
struct Err {
  E error;
};

template <class E>
Err<std::decay_t<E>> err(E&& error) {
  return Err<std::decay_t<E>>{std::forward<E>(error)};
}

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class F, class = std::enable_if_t<std::is_constructible_v<E, F&&>>>
  Result(Err<F> error) : state_(std::in_place_index<1>, std::move(error.error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  E& error() & { return std::get<1>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E&& error() && { return std::get<1>(std::move(state_)); }

  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }

 private:
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  template <class F, class = std::enable_if_t<std::is_constructible_v<E, F&&>>>
  Result(Err<F> error) : error_(std::move(error.error)) {}

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }

  E& error() & { return *error_; }
  const E& error() const& { return *error_; }
  E&& error() && { return *std::move(error_); }

 private:
  std::optional<E> error_;
};

}  // namespace velloquin
