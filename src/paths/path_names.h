// Cutting paths into pieces. Every result is a run of bytes of the argument
// (a view into it); nothing changes case, turns "/" into "\", resolves "..",
// or asks the file system. Delimiters follow the double-byte rule, so the
// second byte of a double-byte character is never taken for a "\".
#pragma once

#include <stddef.h>

#include "paths/text.h"

/// Position (1-based) of the last byte of `text` that is one of `delimiters`
/// and not a trail byte; 0 when there is none. A 0 byte never counts.
size_t RightmostDelimiter(const TextView& delimiters, const TextView& text);

/// Up to and including the last "\" or ":". "C:x.exe" gives "C:".
TextView DirectoryPart(const TextView& path);
/// What follows the last "\" or ":". DirectoryPart + NamePart is the path.
TextView NamePart(const TextView& path);
/// From the last "." of the name, the dot included; empty when the name has
/// none. "file." gives "."; ".ini" is all extension.
TextView ExtensionPart(const TextView& path);
/// The directory part without its closing "\", except where that "\" is the
/// first byte or follows a "\" or ":" (so "C:\", "\" and "\\" stay whole).
TextView DirectoryOf(const TextView& path);
/// The name part less its extension, then less everything up to its last "/"
/// (a plain byte search: a "/" after a lead byte counts too).
TextView BaseName(const TextView& path);

/// Whether two full paths are the same text but for the letter case of
/// ASCII letters outside double-byte characters, as Windows compares names.
/// Nothing is resolved: "..", short names and other spellings differ.
bool SamePathText(const TextView& a, const TextView& b);
