// A non-owning reference to a callable, for callbacks that never outlive the call they are
// passed to (the readers hand these down to the format and back, once per node).
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace velloquin::core {

template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef> &&
                                              std::is_invocable_r_v<R, F&, Args...>>>
  FunctionRef(F&& callable)  // NOLINT: implicit by design, like a function pointer
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_([](void* object, Args... args) -> R {
          return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

}  // namespace velloquin::core
