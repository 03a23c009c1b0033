// Integer texts of the settings file: optional blanks, an optional sign, then
// decimal digits, or a marker ("$", "x", "X", "0x", "0X") and hexadecimal
// digits, and nothing after them. Only byte values are examined, so the
// result is the same under every code page.
#pragma once

#include <stdint.h>

#include "paths/text.h"

/// The text's value as a signed 32-bit integer; false when it is no integer.
/// The text ends at its first NUL byte. Decimal texts must lie within the
/// signed 32-bit range (-2147483648 is accepted); hexadecimal texts may use
/// all 32 bits ($FFFFFFFF is -1, -$FFFFFFFF is 1). Leading zeros are free in
/// either base. Never allocates.
[[nodiscard]] bool IntegerFromText(const TextView& text, int32_t& value);

/// A setting's text as the launcher reads an integer: a leading "0x" is
/// rewritten to "$", then IntegerFromText. `isInteger` says whether it was
/// one. False only when memory is exhausted.
[[nodiscard]] bool IntegerFromSettingText(TextView text, int32_t& value, bool& isInteger);
