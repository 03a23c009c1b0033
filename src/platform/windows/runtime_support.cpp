// The few C library routines the compiler may call on its own (to clear or
// copy a record), since the launcher links no C runtime. Built without loop
// pattern recognition, so these loops do not turn into calls to themselves.
#include <stddef.h>

extern "C" {

void* memset(void* destination, int value, size_t count) {
  unsigned char* bytes = static_cast<unsigned char*>(destination);
  while (count--) *bytes++ = static_cast<unsigned char>(value);
  return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (count--) *to++ = *from++;
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    while (count--) *to++ = *from++;
  } else {
    while (count--) to[count] = from[count];
  }
  return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (; count; --count, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}
}
