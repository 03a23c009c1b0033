// The last resort: a failure nothing else handles ends the program with an
// error box and exit code 1. Works without allocating, since the failure may
// be that memory is exhausted.
#pragma once

#include <stddef.h>

#include "paths/text.h"

constexpr const char* kFailureBoxTitle = "Application Error";

/// Fills `buffer` (NUL-terminated, cut to fit) with
/// "Exception <kind> in module <module> at <offset>.\r\n<message><.>\r\n",
/// the offset in hexadecimal at pointer width, and a "." after a message that
/// is not empty and does not end in one. Returns the length.
size_t FormatFailureText(char* buffer, size_t size, const char* kindName, TextView moduleName,
                         size_t offset, const char* message);

/// Shows the error box for a failure at `address` and ends with exit code 1.
[[noreturn]] void ReportFatalFailure(const char* kindName, const char* message,
                                     const void* address);

/// Memory ran out outside the settings load: reports it at the caller.
[[noreturn]] void FailOutOfMemory();
