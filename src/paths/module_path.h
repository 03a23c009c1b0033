// The full path of the program's own file.
#pragma once

#include "paths/text.h"

/// Reads the path into `path`. A path that does not fit the usual 261-byte
/// buffer is read again into larger ones, so a deep media folder never gives a
/// cut path. A platform failure gives the empty text. False only when memory
/// is exhausted.
[[nodiscard]] bool ReadModulePath(Text& path);
