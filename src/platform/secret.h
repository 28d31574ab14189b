// Secrets in memory: pass phrases, keys and the cipher contexts made from
// them are overwritten before their memory is given back.
#pragma once

#include <string.h>  // explicit_bzero

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace talvor {

inline void SecureWipe(void* data, std::size_t size) noexcept {
  ::explicit_bzero(data, size);
}

template <typename T>
void SecureWipe(T& object) noexcept {
  SecureWipe(&object, sizeof(T));
}

// A pass phrase or a key: bytes in a buffer of their own, overwritten
// whenever the buffer is let go: at the end of its life, when it is
// cleared, assigned to or moved from, and when it grows into a larger
// buffer. It is never copied by accident (Copy() says so).
class Secret {
 public:
  Secret() noexcept = default;
  explicit Secret(std::string_view text) { Append(text); }
  // `size` zero bytes, to be filled in place (a key).
  explicit Secret(std::size_t size) {
    Reserve(size);
    size_ = size;
  }
  // Takes the text of a string that carried a secret on its way in, and
  // overwrites the string.
  [[nodiscard]] static Secret TakeFrom(std::string& text) {
    Secret secret(std::string_view{text});
    SecureWipe(text.data(), text.size());
    text.clear();
    return secret;
  }

  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  Secret(Secret&& other) noexcept
      : buffer_(std::move(other.buffer_)), size_(other.size_), capacity_(other.capacity_) {
    other.size_ = 0;
    other.capacity_ = 0;
  }
  Secret& operator=(Secret&& other) noexcept {
    if (this != &other) {
      Release();
      buffer_ = std::move(other.buffer_);
      size_ = other.size_;
      capacity_ = other.capacity_;
      other.size_ = 0;
      other.capacity_ = 0;
    }
    return *this;
  }
  ~Secret() { Release(); }

  [[nodiscard]] Secret Copy() const { return Secret(view()); }

  void Append(std::string_view text) {
    Reserve(size_ + text.size());
    if (!text.empty()) std::memcpy(buffer_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  void push_back(char c) { Append(std::string_view(&c, 1)); }
  // Overwrites the bytes; the secret is then empty.
  void Clear() noexcept {
    if (buffer_) SecureWipe(buffer_.get(), capacity_);
    size_ = 0;
  }

  [[nodiscard]] std::string_view view() const noexcept { return {buffer_.get(), size_}; }
  [[nodiscard]] std::uint8_t* bytes() noexcept {
    return reinterpret_cast<std::uint8_t*>(buffer_.get());
  }
  [[nodiscard]] const std::uint8_t* bytes() const noexcept {
    return reinterpret_cast<const std::uint8_t*>(buffer_.get());
  }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

  friend bool operator==(const Secret& a, const Secret& b) noexcept { return a.view() == b.view(); }

 private:
  void Reserve(std::size_t wanted) {
    if (wanted <= capacity_) return;
    std::size_t capacity = capacity_ < 32 ? 32 : capacity_;
    while (capacity < wanted) capacity *= 2;
    auto buffer = std::make_unique<char[]>(capacity);  // zeroed
    const std::size_t size = size_;
    if (size > 0) std::memcpy(buffer.get(), buffer_.get(), size);
    Release();
    buffer_ = std::move(buffer);
    capacity_ = capacity;
    size_ = size;
  }
  void Release() noexcept {
    Clear();
    buffer_.reset();
    capacity_ = 0;
  }

  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace talvor
