// Converting UTF-16 text to the system's ANSI code page.
#pragma once

#include <stddef.h>

/// The longest ANSI form of one UTF-16 unit, in any code page (UTF-8 takes 3).
constexpr size_t kLongestAnsiBytesPerUnit = 3;

/// WideCharToMultiByte(CP_ACP) of `length` units into `buffer`. A character
/// the code page cannot hold becomes its default character and `exact` is
/// then false; with `bestFit`, as the system's own ANSI calls convert, a
/// look-alike is taken where the code page has one. Returns the bytes written
/// (no NUL is added); 0 when the conversion failed.
size_t ConvertToAnsi(const char16_t* units, size_t length, char* buffer, size_t size, bool bestFit,
                     bool& exact);
