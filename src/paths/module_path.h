// The full path of the program's own file.
#pragma once

#include "paths/text.h"

/// The ANSI form of an existing file's full path, NUL-terminated, as the
/// launcher takes its own: the exact conversion when every character has a
/// form in the code page; else the short (8.3) form of the folder with the
/// file's long name after it, or the whole short path, when that is exact;
/// else the path as the system's own ANSI calls spell it. False only when
/// memory is exhausted.
[[nodiscard]] bool AnsiFormOfPath(const char16_t* path, size_t length, Text& ansi);

/// Reads the path into `path`, in the form AnsiFormOfPath gives. A path that
/// does not fit the usual 261-byte buffer is read again into larger ones, so a
/// deep media folder never gives a cut path. A platform failure gives the empty text. False only when memory
/// is exhausted.
[[nodiscard]] bool ReadModulePath(Text& path);
