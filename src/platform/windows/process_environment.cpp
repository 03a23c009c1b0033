#include "platform/process_environment.h"

#include "platform/windows/windows_api.h"

void SetCurrentFolder(const char* path) { SetCurrentDirectoryA(path); }

size_t ReadEnvironmentText(const char* name, char* buffer, size_t size) {
  return GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
}

void WriteEnvironmentText(const char* name, const char* value) {
  SetEnvironmentVariableA(name, value);
}
