// Byte texts in the system's ANSI code page: a non-owning view and an owning
// text on the platform heap. No exceptions anywhere: an operation that needs
// memory reports exhaustion through its result, and its caller decides whether
// that ends the program or only the settings load.
#pragma once

#include <stddef.h>

#include <initializer_list>

/// A run of bytes that lives elsewhere. Views returned by the path operations
/// point into their argument.
struct TextView {
  const char* bytes = "";
  size_t length = 0;

  constexpr TextView() = default;
  constexpr TextView(const char* data, size_t size) : bytes(data), length(size) {}
  /// A NUL-terminated literal or buffer.
  // cppcheck-suppress noExplicitConstructor
  constexpr TextView(const char* zeroTerminated)  // NOLINT(google-explicit-constructor)
      : bytes(zeroTerminated), length(ZeroTerminatedLength(zeroTerminated)) {}

  constexpr bool Empty() const { return length == 0; }
  /// Positions count from 1, as in the path rules; 1 <= position <= length.
  constexpr unsigned char At(size_t position) const {
    return static_cast<unsigned char>(bytes[position - 1]);
  }
  /// The first `count` bytes.
  constexpr TextView Head(size_t count) const { return TextView(bytes, count); }
  /// The bytes after the first `count`.
  constexpr TextView After(size_t count) const { return TextView(bytes + count, length - count); }

 private:
  static constexpr size_t ZeroTerminatedLength(const char* text) {
    size_t size = 0;
    while (text[size] != 0) ++size;
    return size;
  }
};

/// An owned text, always followed by a NUL byte so that it can be handed to
/// the platform as it is. Move-only.
class Text {
 public:
  Text() = default;
  ~Text();
  Text(Text&& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;

  /// Replaces the contents by the given parts, joined. False when memory is
  /// exhausted; the text is then empty.
  [[nodiscard]] bool Assign(std::initializer_list<TextView> parts);
  /// Makes room for `capacity` bytes plus the NUL for a platform call to fill
  /// through Buffer(); SetLength() then says how much it wrote.
  [[nodiscard]] bool Reserve(size_t capacity);
  char* Buffer() { return bytes_; }
  void SetLength(size_t length);
  void Clear();

  TextView View() const { return bytes_ ? TextView(bytes_, length_) : TextView(); }
  /// Never null; the empty text gives "".
  const char* CString() const { return bytes_ ? bytes_ : ""; }
  size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }

 private:
  void Release();

  char* bytes_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
};
