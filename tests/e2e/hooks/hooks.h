// Test-only stand-ins for a few platform modules: they wrap the real module
// (compiled in under another name) and add a way for a test to make the
// system fail there. Linked only into build/<preset>/test-hooks/Start.exe.
#pragma once

#include "platform/windows/windows_api.h"

// An access violation, as a damaged disc or a bad pointer would give.
[[noreturn]] inline void RaiseAccessViolation() {
  *static_cast<volatile int*>(nullptr) = 0;
  __builtin_unreachable();
}

// Where `marker` first occurs in `text`, or null.
inline const char* Find(const char* text, const char* marker) {
  for (; text && *text; ++text) {
    const char* a = text;
    const char* b = marker;
    while (*b && *a == *b) ++a, ++b;
    if (!*b) return text;
  }
  return nullptr;
}

inline bool Contains(const char* text, const char* marker) { return Find(text, marker) != nullptr; }
