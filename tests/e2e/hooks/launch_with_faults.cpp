// A launch request naming "!fault-at-launch" faults before the request is
// made; a command line holding "!process-error=N" is refused as Windows
// refuses a process start, with error N, and nothing is started.
#define ShellOpenFile RealShellOpenFile
#define StartProcess RealStartProcess
#include "platform/windows/launch.cpp"
#undef ShellOpenFile
#undef StartProcess

#include "hooks.h"

void ShellOpenFile(const char* file, const char* parameters) {
  if (Contains(file, "!fault-at-launch")) RaiseAccessViolation();
  RealShellOpenFile(file, parameters);
}

uint32_t StartProcess(char* commandLine, const char* currentDirectory) {
  if (Contains(commandLine, "!fault-at-launch")) RaiseAccessViolation();
  constexpr char kMarker[] = "!process-error=";
  if (const char* marker = Find(commandLine, kMarker)) {
    uint32_t error = 0;
    for (const char* digit = marker + sizeof kMarker - 1; *digit >= '0' && *digit <= '9'; ++digit) {
      error = error * 10 + static_cast<uint32_t>(*digit - '0');
    }
    return error;
  }
  return RealStartProcess(commandLine, currentDirectory);
}
