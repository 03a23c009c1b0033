// The short (8.3) names that a volume may keep beside the long ones.
#pragma once

#include <stddef.h>

/// GetShortPathNameW for the NUL-terminated, existing `path`: the units
/// written to `buffer` (without the NUL); 0 on failure; more than `size` when
/// the buffer is too small (the size needed, NUL included). A volume that
/// keeps no short names gives the path back as it is.
size_t QueryShortPathName(const char16_t* path, char16_t* buffer, size_t size);
