// The ways of starting something: the shell's "open" verb and a new process.
#pragma once

#include <stdint.h>

/// ShellExecuteExA with the verb "open", shown normally: `file` with its
/// `parameters` (null: none) in `directory` (null: the launcher's own). COM
/// is set up on the calling thread first, apartment-threaded and without
/// OLE1 DDE, and the request is made synchronously (SEE_MASK_NOASYNC), so
/// that a verb implemented in COM or a DDE conversation has finished when
/// this returns and the launcher ends. The shell shows no error box of its
/// own (SEE_MASK_FLAG_NO_UI, as ShellExecuteA sets it). Its result is not
/// reported.
void ShellOpen(const char* file, const char* parameters, const char* directory);
/// CreateProcessA with a null application name, a new console and process
/// group, normal priority, a window shown normally, and `currentDirectory`
/// (null: the launcher's own). Windows may write into `commandLine`. Returns
/// 0 when the process was created, else the system's error code.
uint32_t StartProcess(char* commandLine, const char* currentDirectory);
