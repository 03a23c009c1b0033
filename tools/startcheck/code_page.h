// Texts in a Windows ANSI code page, as the launcher holds them, and UTF-8,
// as the host names files and as the reports are written.
#pragma once

#include <string>

/// The ANSI code page the checker reads names and settings in: the system's
/// own on Windows; on other hosts the one given (--codepage), 1252 unless.
unsigned CheckerCodePage();
/// Chooses the code page for other hosts; false for one that cannot be
/// converted here. On Windows the system's own is always used.
bool SetCheckerCodePage(unsigned number);

/// The text in UTF-8; a byte sequence the code page does not define comes out
/// as U+FFFD.
std::string AnsiToUtf8(const std::string& ansi);
/// The text in the code page; `exact` is false when a character has no form
/// there (it comes out as "?").
std::string Utf8ToAnsi(const std::string& utf8, bool& exact);
