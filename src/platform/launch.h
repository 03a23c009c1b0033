// The ways of starting something: the shell's "open" verb and a new process.
#pragma once

#include <stdint.h>

/// ShellExecuteA(0, "open", file, parameters, null, SW_SHOW); `parameters`
/// may be null. Its result is not reported.
void ShellOpenFile(const char* file, const char* parameters);
/// CreateProcessA with a null application name, a new console and process
/// group, normal priority, a window shown normally, and `currentDirectory`
/// (null: the launcher's own). Windows may write into `commandLine`. Returns
/// 0 when the process was created, else the system's error code.
uint32_t StartProcess(char* commandLine, const char* currentDirectory);
/// ShellExecuteExA with the "open" verb, shown normally: `program` with its
/// `parameters` (null: none) in `directory` (null: the launcher's own). The
/// shell asks for administrator rights where the program's manifest requires
/// them, which CreateProcessA cannot do. Returns once the request is handed
/// on, so that the launcher may end; the shell shows no error box of its own.
void ShellOpenProgram(const char* program, const char* parameters, const char* directory);
