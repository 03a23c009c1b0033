// The file of the running program.
#pragma once

#include <stddef.h>

/// GetModuleFileNameW for the program's own file, in UTF-16 units: the units
/// written to `buffer` (without the NUL), 0 on failure, and `size` when the
/// path did not fit (the buffer then holds a cut path).
size_t QueryModuleFileNameWide(char16_t* buffer, size_t size);

/// The file of the module that holds `address`, in the ANSI code page as
/// GetModuleFileNameA gives it, and the address as an offset into that
/// module: the bytes written to `buffer` (without the NUL), 0 when no module
/// holds it or the name does not fit.
size_t QueryModuleFileOfAddress(const void* address, char* buffer, size_t size, size_t& offset);
