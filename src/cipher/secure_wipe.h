// Overwriting secrets (keys, cipher contexts) before their memory is reused.
#pragma once

#include <string.h>  // explicit_bzero
#include <cstddef>

namespace talvor {

inline void SecureWipe(void* data, std::size_t size) noexcept {
  ::explicit_bzero(data, size);
}

template <typename T>
void SecureWipe(T& object) noexcept {
  SecureWipe(&object, sizeof(T));
}

// Wipes an object when it goes out of scope.
template <typename T>
class WipeOnScopeExit {
 public:
  explicit WipeOnScopeExit(T& object) noexcept : object_(object) {}
  WipeOnScopeExit(const WipeOnScopeExit&) = delete;
  WipeOnScopeExit& operator=(const WipeOnScopeExit&) = delete;
  ~WipeOnScopeExit() { SecureWipe(object_); }

 private:
  T& object_;
};

}  // namespace talvor
