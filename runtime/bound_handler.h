// A handler bound to an object: an operation plus the object it runs on, held as two plain pointers.
// Calling it costs one indirect call (no allocation, no type erasure beyond a thunk), which matters
// for the byte-at-a-time reader and writer of the LZH coder. A default-constructed handler is unset;
// test it before an optional call.
#pragma once

#include <utility>

namespace vornix {

template <typename Signature>
class TBoundHandler;

template <typename R, typename... Args>
class TBoundHandler<R(Args...)> {
 public:
  TBoundHandler() = default;

  // Binds Method to object: TBoundHandler<...>::Bind<&T::Method>(this).
  template <auto Method, typename T>
  static TBoundHandler Bind(T* object) {
    return TBoundHandler(object, &Thunk<T, Method>);
  }

  explicit operator bool() const { return thunk_ != nullptr; }
  const void* Object() const { return object_; }

  R operator()(Args... args) const { return thunk_(object_, std::forward<Args>(args)...); }

 private:
  using ThunkType = R (*)(void*, Args...);

  TBoundHandler(void* object, ThunkType thunk) : object_(object), thunk_(thunk) {}

  template <typename T, auto Method>
  static R Thunk(void* object, Args... args) {
    return (static_cast<T*>(object)->*Method)(std::forward<Args>(args)...);
  }

  void* object_ = nullptr;
  ThunkType thunk_ = nullptr;
};

}  // namespace vornix
