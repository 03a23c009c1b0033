// A launch request naming "!fault-at-launch" faults before the request is
// made; a command line holding "!process-error=N" is refused as Windows
// refuses a process start, with error N, and nothing is started; one holding
// "!fault-in-thread" has another thread fault just before the request.
#define ShellOpen RealShellOpen
#define StartProcess RealStartProcess
#include "platform/windows/launch.cpp"
#undef ShellOpen
#undef StartProcess

#include "hooks.h"

void ShellOpen(const char* file, const char* parameters, const char* directory) {
  if (Contains(file, "!fault-at-launch")) RaiseAccessViolation();
  RealShellOpen(file, parameters, directory);
}

uint32_t StartProcess(char* commandLine, const char* currentDirectory) {
  if (Contains(commandLine, "!fault-at-launch")) RaiseAccessViolation();
  if (Contains(commandLine, "!fault-in-thread")) FaultInAnotherThread();
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
