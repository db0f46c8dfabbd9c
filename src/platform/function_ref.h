#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace pelko {

// A callable borrowed for the time of a call, without std::function's allocation and type
// information: the installer's code stays small. A lambda written in the call's arguments lives
// until the call returns, so it may be passed as it is.
template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef>)
    FunctionRef(F&& callable)  // NOLINT: implicit, as a parameter type
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          call_([](void* object, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(object))(
                  std::forward<Args>(args)...);
          }) {}

    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

}  // namespace pelko
