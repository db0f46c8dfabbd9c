#pragma once

#include <type_traits>
#include <utility>

namespace pelko {

// A callable borrowed for the time of a call, without std::function's allocation and type
// information: the installer's code stays small.
template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef>)
    FunctionRef(F& callable)  // NOLINT: implicit, as a parameter type
        : object_(&callable), call_([](void* object, Args... args) -> R {
              return (*static_cast<F*>(object))(std::forward<Args>(args)...);
          }) {}

    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

}  // namespace pelko
