// The two ways of starting something: the shell's "open" verb and a new
// process. Results are not reported: the launcher ends the same either way.
#pragma once

/// ShellExecuteA(0, "open", file, parameters, null, SW_SHOW); `parameters`
/// may be null.
void ShellOpenFile(const char* file, const char* parameters);
/// CreateProcessA with a null application name, a new console and process
/// group, normal priority, a window shown normally, and `currentDirectory`
/// (null: the launcher's own). Windows may write into `commandLine`.
void StartProcess(char* commandLine, const char* currentDirectory);
