// Reads a settings file the way Windows' GetPrivateProfileStringA reads it, on
// any system. Every rule below was measured against the real function under
// Wine 8, whose ANSI code page is 1252, but one where Windows is known to read
// otherwise (the UTF-8 mark); the reader assumes that code page for the
// file's bytes and for the names asked for.
//
// The rules, one per line:
// - Encoding: bytes are code page 1252, unless the file starts with a UTF-16
//   byte-order mark (FF FE or FE FF: the rest is UTF-16 LE or BE, and the mark
//   itself is dropped).
// - A UTF-8 byte-order mark (EF BB BF) is three characters of code page 1252
//   at the start of the first line, and the rest is read as code page 1252
//   too: "[Information]" right after it is no section header. This is
//   Windows' reading (Thomas Weller's tests on Windows 10 21H1, in his
//   answer to "How do WritePrivateProfileStringA() and Unicode go
//   together?" on Stack Overflow); Wine's reader skips the mark and decodes
//   the rest as UTF-8.
// - Text from a UTF-16 file comes back in code page 1252: a character it
//   lacks becomes a look-alike ("A" for U+0100) or "?".
// - Line ends: CR LF, LF and a lone CR all end a line; empty lines are skipped.
// - Blanks are space, tab, vertical tab, form feed and Ctrl-Z (0x1A); a
//   no-break space (0xA0) is not one.
// - Blanks are dropped at both ends of a line, of a section name inside its
//   brackets, of a key, of a value, and of the section and key asked for.
// - Section header: a line that starts with "[" and holds a "]"; the name runs
//   to the last "]" on the line, and what follows that "]" is ignored.
// - A line that starts with "[" but has no "]" is an ordinary key line.
// - Key lines: every other line. The key is the text before the first "=",
//   the value the text after it ("k = = v" gives "= v").
// - A line without "=" is a key without a value: asking for it gives the
//   default, and it hides a later "k=v" line of the same key.
// - Comment lines get no special treatment: ";k=v" is the key ";k", and
//   "k=v ;note" gives "v ;note".
// - An empty value ("k=" or "k=  ") gives "" (count 0), not the default.
// - Quotation marks: when a value starts and ends with the same mark, " or ',
//   and is at least two bytes long, that one pair is removed; blanks inside
//   the marks stay. The default text is treated the same way.
// - A quoted value whose text inside the marks exactly fills the buffer
//   (size - 1 bytes) loses its last byte, so 2047 bytes inside give 2046.
// - Letter case: only A-Z and a-z match each other, in section and key names
//   alike; 0xC9 and 0xE9 (E and e with an acute accent) differ.
// - Repeated sections: only the first section of a name is searched; keys of
//   later sections of that name are never found.
// - Repeated keys: the first one in the section wins.
// - Text before the first section header belongs to the section named "",
//   which is found by asking for "" (or blanks only).
// - A key with no name ("=v") is found by asking for the key "" (or blanks).
// - The default: NULL counts as ""; trailing spaces (not tabs) are dropped
//   from it, the first byte always stays.
// - Long lines have no limit; a value is cut to size - 1 bytes, and the buffer
//   always ends in a NUL.
// - NUL bytes: a NUL ends a name or a value ("a<NUL>b=1" is found as "a",
//   "k=x<NUL>y" gives "x"); a line starting with one is no section header.
// - A size of 0 returns 0 and leaves the buffer untouched.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

/// What GetPrivateProfileStringA(section, key, defaultText, buffer, size, file)
/// returns for a file holding `fileBytes`: the count of bytes placed in
/// `buffer`, which ends in a NUL (when size > 0). The value of the key, or
/// `defaultText` when the section or the key is missing. `section` and `key`
/// must not be NULL.
size_t ReadProfileValue(const std::string& fileBytes, const char* section, const char* key,
                        const char* defaultText, char* buffer, size_t size);

/// One key=value line of a settings file as the reader sees it.
struct ProfileEntry {
  /// The section it belongs to, "" before the first header; a repeated
  /// section is listed under each of its headers.
  std::string section;
  /// The key, cut at a NUL. A character of a UTF-8 or UTF-16 file that code
  /// page 1252 lacks shows as "?": no name asked for can match it.
  std::string key;
  /// What ReadProfileValue gives for it with room enough: quotation marks
  /// removed, cut at a NUL, in code page 1252.
  std::string value;
  /// Its line in the file, from 1; CR LF, LF and a lone CR each end a line.
  size_t line;
};

/// Every line with a "=" of the file, in file order, comment lines (";")
/// included. Lines without "=" and section headers are not listed.
std::vector<ProfileEntry> ListProfileEntries(const std::string& fileBytes);
