// A launch request naming "!fault-at-launch" faults before the request is made.
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

void StartProcess(char* commandLine, const char* currentDirectory) {
  if (Contains(commandLine, "!fault-at-launch")) RaiseAccessViolation();
  RealStartProcess(commandLine, currentDirectory);
}
