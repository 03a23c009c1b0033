// A profile read whose value holds "!fault-in-read" faults after the read;
// one holding "!fault-in-thread" has another thread fault meanwhile.
#define ReadProfileString RealReadProfileString
#include "platform/windows/profile.cpp"
#undef ReadProfileString

#include "hooks.h"

size_t ReadProfileString(const char* section, const char* key, const char* defaultText,
                         char* buffer, size_t size, const char* path) {
  size_t length = RealReadProfileString(section, key, defaultText, buffer, size, path);
  if (Contains(buffer, "!fault-in-read")) RaiseAccessViolation();
  if (Contains(buffer, "!fault-in-thread")) FaultInAnotherThread();
  return length;
}
