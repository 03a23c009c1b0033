// The platform's profile (INI) service.
#pragma once

#include <stddef.h>

/// GetPrivateProfileStringA: the bytes placed in `buffer`, without the NUL.
size_t ReadProfileString(const char* section, const char* key, const char* defaultText,
                         char* buffer, size_t size, const char* path);
/// WritePrivateProfileStringA with null section, key and value: drops the
/// system's cached copy of the file and writes nothing.
void FlushProfile(const char* path);
