// The last resort: a failure nothing else handles ends the program with an
// error box and exit code 1. Works without allocating, since the failure may
// be that memory is exhausted.
#pragma once

#include <stddef.h>

#include "paths/text.h"
#include "platform/fault_guard.h"

constexpr const char* kFailureBoxTitle = "Application Error";

/// Fills `buffer` (NUL-terminated, cut to fit) with
/// "Exception <kind> in module <module> at <offset>.\r\n<message><.>\r\n",
/// the offset in hexadecimal at pointer width, and a "." after a message that
/// is not empty and does not end in one. Returns the length.
size_t FormatFailureText(char* buffer, size_t size, const char* kindName, const TextView& moduleName,
                         size_t offset, const char* message);

/// Shows the error box for a failure at `address` and ends with exit code 1.
[[noreturn]] void ReportFatalFailure(const char* kindName, const char* message,
                                     const void* address);

/// Memory ran out outside the settings load: reports it at the caller.
[[noreturn]] void FailOutOfMemory();

/// The kind name and the message shown for a fault the system reported, such
/// as "AccessViolation" and "Access violation reading address 0000000000000010".
/// `message` is NUL-terminated and cut to fit.
const char* DescribeFault(const FaultRecord& fault, char* message, size_t size);

/// A fault nothing else handled: shows the error box and ends with exit code 1.
[[noreturn]] void ReportFatalFault(const FaultRecord& fault);
