#include "paths/text.h"

#include "platform/memory.h"

Text::~Text() { Release(); }

Text::Text(Text&& other) noexcept
    : bytes_(other.bytes_), length_(other.length_), capacity_(other.capacity_) {
  other.bytes_ = nullptr;
  other.length_ = 0;
  other.capacity_ = 0;
}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    Release();
    bytes_ = other.bytes_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.bytes_ = nullptr;
    other.length_ = 0;
    other.capacity_ = 0;
  }
  return *this;
}

void Text::Release() {
  if (bytes_) FreeMemory(bytes_);
  bytes_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

bool Text::Reserve(size_t capacity) {
  // Always a fresh block: a part handed to Assign may point into the old one.
  char* fresh = static_cast<char*>(AllocateMemory(capacity + 1));
  if (!fresh) {
    Release();
    return false;
  }
  Release();
  bytes_ = fresh;
  capacity_ = capacity;
  bytes_[0] = 0;
  return true;
}

bool Text::Assign(std::initializer_list<TextView> parts) {
  size_t total = 0;
  for (const TextView& part : parts) total += part.length;
  char* fresh = static_cast<char*>(AllocateMemory(total + 1));
  if (!fresh) {
    Release();
    return false;
  }
  size_t at = 0;
  for (const TextView& part : parts) {
    for (size_t i = 0; i < part.length; ++i) fresh[at++] = part.bytes[i];
  }
  fresh[at] = 0;
  Release();
  bytes_ = fresh;
  length_ = total;
  capacity_ = total;
  return true;
}

void Text::SetLength(size_t length) {
  if (!bytes_) return;
  length_ = length <= capacity_ ? length : capacity_;
  bytes_[length_] = 0;
}

void Text::Clear() { Release(); }
