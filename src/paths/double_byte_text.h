// Whether path texts are double-byte texts, and which byte values open a
// double-byte character. Settled once at start, read-only afterwards.
#pragma once

#include <stddef.h>

#include "paths/text.h"

enum class ByteKind { Single, Lead, Trail };

/// Asks the platform's locale and code page once and sets the rule. The rule
/// is on only where the thread's language is not one of the western ones (on
/// NT) or the system says it is double-byte enabled (elsewhere), and the code
/// page has lead bytes.
void DetectDoubleByteText();

bool DoubleByteTextOn();
bool IsLeadByteValue(unsigned char value);

/// The kind of the byte at `position` (1-based). A byte after an odd run of
/// lead-byte values is a trail byte whatever its own value; a 0 byte is
/// always single; with the rule off every byte is single.
ByteKind ByteKindAt(const TextView& text, size_t position);
