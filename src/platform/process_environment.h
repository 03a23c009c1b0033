// What the launcher's process hands down to whatever it starts: its current
// directory and its environment.
#pragma once

#include <stddef.h>

/// SetCurrentDirectoryA. Its result is not examined.
void SetCurrentFolder(const char* path);

/// GetEnvironmentVariableA: the value's length, written NUL-terminated to
/// `buffer`; 0 when the variable is not set (or empty); more than `size` when
/// it does not fit (the size needed, NUL included).
size_t ReadEnvironmentText(const char* name, char* buffer, size_t size);

/// SetEnvironmentVariableA: what the launcher starts from now on inherits it.
void WriteEnvironmentText(const char* name, const char* value);
