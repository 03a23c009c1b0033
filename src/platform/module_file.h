// The file of the running program.
#pragma once

#include <stddef.h>

/// GetModuleFileNameA for the program's own file: the bytes written to
/// `buffer` (without the NUL), 0 on failure, and `size` when the path did not
/// fit (the buffer then holds a cut path).
size_t QueryModuleFileName(char* buffer, size_t size);

/// The file of the module that holds `address`, and the address as an offset
/// into that module: the bytes written to `buffer` (without the NUL), 0 when
/// no module holds it.
size_t QueryModuleFileOfAddress(const void* address, char* buffer, size_t size,
                                size_t& offset);
