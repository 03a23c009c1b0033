// The profile reader against Windows' GetPrivateProfileStringA. Every value
// expected here was read from the real function under Wine (code page 1252);
// tests/e2e/profile_differential_test.py reads the same files, listed in
// tests/e2e/profile_cases.json, with both and checks them against each other.
#include "profile_reader.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

constexpr size_t kBufferSize = 2048;
constexpr char kUnwritten = '\xA5';
const std::string kDefault = "<default>";

std::string Repeat(const std::string& text, size_t times) {
  std::string repeated;
  for (size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : text) {
    char high = static_cast<char>(unit >> 8);
    char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

std::string Utf16Le(const std::u16string& text) { return Utf16(text, false); }
std::string Utf16Be(const std::u16string& text) { return Utf16(text, true); }

// The files of the table, named after the rule they try.
const std::string kLetterCase =
    "[INFORMATION]\r\n"
    "fileTORUN=v1\r\n"
    "[\xC9t\xC9]\r\n"
    "k=v2\r\n"s;
const std::string kBlanksAroundKeysAndValues =
    "[S]\r\n"
    "  a  =  v a  \r\n"
    "\tb\t=\tv\tb\t\r\n"
    "\x0B\x0Cg\x1A=\x1Av\x1A\r\n"
    "d=\xA0v\xA0\r\n"
    "\xA0h=1\r\n"s;
const std::string kBlanksInSectionHeaders =
    "  [ S ]  \r\n"
    "k=1\r\n"
    "[\tT\x0B] tail\r\n"
    "k=2\r\n"s;
const std::string kSectionHeaderOddities =
    "[A] tail\r\n"
    "a=1\r\n"
    "[B]x]\r\n"
    "b=2\r\n"
    "[C\r\n"
    "c=3\r\n"s;
const std::string kQuotationMarks =
    "[S]\r\n"
    "q1=\"x y\"\r\n"
    "q2='x'\r\n"
    "q3=\"x'\r\n"
    "q4=\"\"\r\n"
    "q5=\"\r\n"
    "q6= \" x \" \r\n"
    "q7=\"a\"b\"\r\n"
    "q8=\"\"x\"\"\r\n"
    "FileToRun=\"Setup Files\\Setup.exe\" /S\r\n"s;
const std::string kBufferSizes =
    "[S]\r\n"
    "v=abcdef\r\n"
    "q=\"abcdef\"\r\n"s;
const std::string kCommentLines =
    "[S]\r\n"
    ";k=1\r\n"
    "k=v ;note\r\n"
    "  ;FileToRun=2\r\n"
    "#h=3\r\n"s;
const std::string kLinesWithoutAndEmptyValues =
    "[S]\r\n"
    "k\r\n"
    "k=1\r\n"
    "j\r\n"
    "e=\r\n"
    "f=  \t\r\n"s;
const std::string kRepeatedSectionsAndKeys =
    "[S]\r\n"
    "k=1\r\n"
    "K=2\r\n"
    "[T]\r\n"
    "k=t\r\n"
    "[s]\r\n"
    "k=3\r\n"
    "j=4\r\n"s;
const std::string kLineEnds =
    "[S]\n"
    "a=1\rb=2\r\r\n"
    "c=3\n"
    "\rd=4\r\n"
    "\r\n"
    "\r\n"
    "e=5"s;
const std::string kUtf8ByteOrderMark =
    "\xEF\xBB\xBF[S]\r\n"
    "a=v\xC3\xA9\r\n"
    "b=\xE4\xB8\xAD\r\n"
    "c=\xC4\x80\xEF\xBC\xA1\r\n"
    "d=\xC3(\r\n"
    "e=\xE0\x80\x80|\xF0\x9F\x98\x80\r\n"
    "\xC3\xA9=k\r\n"s;
const std::string kUtf8MarkOnALineOfItsOwn =
    "\xEF\xBB\xBF\r\n"
    "[S]\r\n"
    "a=v\xC3\xA9\r\n"s;
const std::string kUtf8CutByTheEndOfTheFile =
    "\xEF\xBB\xBF[S]\r\n"
    "k=<\xE4("s;
const std::string kUtf8BytesWithoutAMark =
    "[S]\r\n"
    "a=v\xC3\xA9\r\n"s;
const std::string kASecondByteOrderMark =
    "\xEF\xBB\xBF\xEF\xBB\xBF[S]\r\n"
    "a=1\r\n"s;
const std::string kUtf16LittleEndian = Utf16Le(u"\uFEFF[S]\r\na=v\u00E9\u4E2D\r\nb=x\0y\r\n"s);
const std::string kUtf16BigEndian = Utf16Be(u"\uFEFF[S]\r\na=\u20AC\u0128\r\n"s);
const std::string kLongLines =
    "[S]\r\na="s + Repeat("0123456789", 205) + "\r\nb=\""s + Repeat("0123456789", 204) +
    "012345\"\r\nc=\""s + Repeat("0123456789", 204) + "0123456\"\r\nd="s +
    Repeat("0123456789", 10000) + "\r\n"s + Repeat("0123456789", 300) + "=long key\r\nz=after\r\n"s;
const std::string kNulBytes =
    "[S]\r\n"
    "a=x\x00y\r\n"
    "b\x00x=2\r\n"
    "\x00[T]\r\n"
    "d=3\r\n"
    "[U\x00V]\r\n"
    "e=4\r\n"s;
const std::string kTextBeforeTheFirstSection =
    "k=0\r\n"
    "=e\r\n"
    "[S]\r\n"
    "k=1\r\n"
    "=s\r\n"
    "[]\r\n"
    "m=2\r\n"s;
const std::string kTheDefaultText = "[S]\r\n"s;

struct Row {
  const char* rule;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;
  size_t size = kBufferSize;
  std::string defaultText = kDefault;
};

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"letter case", kLetterCase, "Information"s, "FileToRun"s, "v1"s},
      {"letter case", kLetterCase, "information"s, "FILETORUN"s, "v1"s},
      {"letter case", kLetterCase, "\xC9T\xC9"s, "K"s, "v2"s},
      {"letter case", kLetterCase, "\xE9t\xE9"s, "k"s, kDefault},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, "S"s, "a"s, "v a"s},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, "S"s, "b"s, "v\tb"s},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, "S"s, "g"s, "v"s},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, "S"s, "d"s, "\xA0v\xA0"s},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, "S"s, "h"s, kDefault},
      {"blanks around keys and values", kBlanksAroundKeysAndValues, " S\t"s, "\ta "s, "v a"s},
      {"blanks in section headers", kBlanksInSectionHeaders, "S"s, "k"s, "1"s},
      {"blanks in section headers", kBlanksInSectionHeaders, "T"s, "k"s, "2"s},
      {"blanks in section headers", kBlanksInSectionHeaders, " T "s, "k"s, "2"s},
      {"section header oddities", kSectionHeaderOddities, "A"s, "a"s, "1"s},
      {"section header oddities", kSectionHeaderOddities, "B]x"s, "b"s, "2"s},
      {"section header oddities", kSectionHeaderOddities, "B"s, "b"s, kDefault},
      {"section header oddities", kSectionHeaderOddities, "B]x"s, "[C"s, kDefault},
      {"section header oddities", kSectionHeaderOddities, "B]x"s, "c"s, "3"s},
      {"section header oddities", kSectionHeaderOddities, "C"s, "c"s, kDefault},
      {"quotation marks", kQuotationMarks, "S"s, "q1"s, "x y"s},
      {"quotation marks", kQuotationMarks, "S"s, "q2"s, "x"s},
      {"quotation marks", kQuotationMarks, "S"s, "q3"s, "\"x'"s},
      {"quotation marks", kQuotationMarks, "S"s, "q4"s, ""s},
      {"quotation marks", kQuotationMarks, "S"s, "q5"s, "\""s},
      {"quotation marks", kQuotationMarks, "S"s, "q6"s, " x "s},
      {"quotation marks", kQuotationMarks, "S"s, "q7"s, "a\"b"s},
      {"quotation marks", kQuotationMarks, "S"s, "q8"s, "\"x\""s},
      {"quotation marks", kQuotationMarks, "S"s, "FileToRun"s, "\"Setup Files\\Setup.exe\" /S"s},
      {"buffer sizes", kBufferSizes, "S"s, "v"s, "abcdef"s, 7},
      {"buffer sizes", kBufferSizes, "S"s, "v"s, "abc"s, 4},
      {"buffer sizes", kBufferSizes, "S"s, "q"s, "abcdef"s, 8},
      {"buffer sizes", kBufferSizes, "S"s, "q"s, "abcde"s, 7},
      {"buffer sizes", kBufferSizes, "S"s, "q"s, "abc"s, 4},
      {"buffer sizes", kBufferSizes, "S"s, "v"s, ""s, 1},
      {"buffer sizes", kBufferSizes, "S"s, "v"s, ""s, 0},
      {"buffer sizes", kBufferSizes, "S"s, "x"s, "<de"s, 4},
      {"comment lines", kCommentLines, "S"s, ";k"s, "1"s},
      {"comment lines", kCommentLines, "S"s, "k"s, "v ;note"s},
      {"comment lines", kCommentLines, "S"s, ";FileToRun"s, "2"s},
      {"comment lines", kCommentLines, "S"s, "FileToRun"s, kDefault},
      {"comment lines", kCommentLines, "S"s, "#h"s, "3"s},
      {"lines without = and empty values", kLinesWithoutAndEmptyValues, "S"s, "k"s, kDefault},
      {"lines without = and empty values", kLinesWithoutAndEmptyValues, "S"s, "j"s, kDefault},
      {"lines without = and empty values", kLinesWithoutAndEmptyValues, "S"s, "e"s, ""s},
      {"lines without = and empty values", kLinesWithoutAndEmptyValues, "S"s, "f"s, ""s},
      {"repeated sections and keys", kRepeatedSectionsAndKeys, "S"s, "k"s, "1"s},
      {"repeated sections and keys", kRepeatedSectionsAndKeys, "S"s, "j"s, kDefault},
      {"repeated sections and keys", kRepeatedSectionsAndKeys, "T"s, "k"s, "t"s},
      {"line ends", kLineEnds, "S"s, "a"s, "1"s},
      {"line ends", kLineEnds, "S"s, "b"s, "2"s},
      {"line ends", kLineEnds, "S"s, "c"s, "3"s},
      {"line ends", kLineEnds, "S"s, "d"s, "4"s},
      {"line ends", kLineEnds, "S"s, "e"s, "5"s},
      // Windows does not know the mark: "[S]" after it is no header.
      {"UTF-8 byte-order mark", kUtf8ByteOrderMark, "S"s, "a"s, kDefault},
      {"UTF-8 byte-order mark", kUtf8ByteOrderMark, "S"s, "\xE9"s, kDefault},
      {"UTF-8 byte-order mark", kUtf8ByteOrderMark, ""s, "a"s, "v\xC3\xA9"s},
      {"UTF-8 mark on a line of its own", kUtf8MarkOnALineOfItsOwn, "S"s, "a"s, "v\xC3\xA9"s},
      {"UTF-8 cut by the end of the file", kUtf8CutByTheEndOfTheFile, "S"s, "k"s, kDefault},
      {"UTF-8 bytes without a mark", kUtf8BytesWithoutAMark, "S"s, "a"s, "v\xC3\xA9"s},
      {"a second byte-order mark", kASecondByteOrderMark, "S"s, "a"s, kDefault},
      {"UTF-16 little-endian", kUtf16LittleEndian, "S"s, "a"s, "v\xE9?"s},
      {"UTF-16 little-endian", kUtf16LittleEndian, "S"s, "b"s, "x"s},
      {"UTF-16 big-endian", kUtf16BigEndian, "S"s, "a"s, "\x80I"s},
      {"long lines", kLongLines, "S"s, "a"s, Repeat("0123456789", 204) + "0123456"s},
      {"long lines", kLongLines, "S"s, "b"s, Repeat("0123456789", 204) + "012345"s},
      {"long lines", kLongLines, "S"s, "c"s, Repeat("0123456789", 204) + "012345"s},
      {"long lines", kLongLines, "S"s, "d"s, Repeat("0123456789", 204) + "0123456"s},
      {"long lines", kLongLines, "S"s, Repeat("0123456789", 300), "long key"s},
      {"long lines", kLongLines, "S"s, "z"s, "after"s},
      {"NUL bytes", kNulBytes, "S"s, "a"s, "x"s},
      {"NUL bytes", kNulBytes, "S"s, "b"s, "2"s},
      {"NUL bytes", kNulBytes, "S"s, "d"s, "3"s},
      {"NUL bytes", kNulBytes, "T"s, "d"s, kDefault},
      {"NUL bytes", kNulBytes, "U"s, "e"s, "4"s},
      {"text before the first section", kTextBeforeTheFirstSection, ""s, "k"s, "0"s},
      {"text before the first section", kTextBeforeTheFirstSection, " "s, "k"s, "0"s},
      {"text before the first section", kTextBeforeTheFirstSection, ""s, ""s, "e"s},
      {"text before the first section", kTextBeforeTheFirstSection, "S"s, "k"s, "1"s},
      {"text before the first section", kTextBeforeTheFirstSection, "S"s, " "s, "s"s},
      {"text before the first section", kTextBeforeTheFirstSection, ""s, "m"s, kDefault},
      {"the default text", kTheDefaultText, "S"s, "k"s, "  x"s, kBufferSize, "  x  "s},
      {"the default text", kTheDefaultText, "S"s, "k"s, "x"s, kBufferSize, "\"x\" "s},
      {"the default text", kTheDefaultText, "S"s, "k"s, "x"s, kBufferSize, "'x'"s},
      {"the default text", kTheDefaultText, "S"s, "k"s, "x\t"s, kBufferSize, "x\t"s},
      {"the default text", kTheDefaultText, "S"s, "k"s, " "s, kBufferSize, " "s},
      {"the default text", kTheDefaultText, "S"s, "k"s, ""s, kBufferSize, ""s},
  };
  return rows;
}

std::string Printable(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      text += "\\x";
      text += kHex[c >> 4];
      text += kHex[c & 0xF];
    }
  }
  return text.size() > 80 ? text.substr(0, 80) + "..." : text;
}

TEST(ReadProfileValue, ReturnsWhatWindowsReturns) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(std::string(row.rule) + ": [" + Printable(row.section) + "] " +
                 Printable(row.key) + ", size " + std::to_string(row.size) + ", default \"" +
                 Printable(row.defaultText) + "\"");
    // One byte more than the call may use; all but the value and its NUL must
    // keep their fill.
    std::vector<char> buffer(row.size + 1, kUnwritten);
    size_t count = ReadProfileValue(row.file, row.section.c_str(), row.key.c_str(),
                                    row.defaultText.c_str(), buffer.data(), row.size);
    ASSERT_EQ(count, row.expected.size());
    EXPECT_EQ(Printable(std::string(buffer.data(), count)), Printable(row.expected));
    size_t written = row.size == 0 ? 0 : count + 1;
    if (row.size > 0) {
      EXPECT_EQ(buffer[count], '\0');
    }
    EXPECT_EQ(std::string(buffer.begin() + static_cast<std::ptrdiff_t>(written), buffer.end()),
              std::string(row.size + 1 - written, kUnwritten));
  }
}

TEST(ReadProfileValue, TakesNullDefaultAsEmpty) {
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(ReadProfileValue("[S]\r\n", "S", "k", nullptr, buffer, sizeof buffer), 0u);
  EXPECT_EQ(std::string(buffer, sizeof buffer), "\0xxxxxx\0"s);
}

}  // namespace

// For the comparisons and messages of the listing tests; ProfileEntry lives in
// the global namespace, so these must too.
static bool operator==(const ProfileEntry& a, const ProfileEntry& b) {
  return a.section == b.section && a.key == b.key && a.value == b.value && a.line == b.line;
}

static void PrintTo(const ProfileEntry& entry, std::ostream* out) {
  *out << "{[" << Printable(entry.section) << "] " << Printable(entry.key) << " = \""
       << Printable(entry.value) << "\", line " << entry.line << "}";
}

namespace {

TEST(ListProfileEntries, ListsEveryKeyWithItsSectionAndLine) {
  // The values of the keys Windows finds here (all but the second FileToRun
  // and the repeated section's ShellExec) are those it returned.
  const std::string file =
      "Top=0\r\n"
      "[Information]\r\n"
      "FileToRun = \"Setup.exe\" /S\r\n"
      ";FileToRun=old\r\n"
      "ShellExec\r\n"
      "BrowsePath='Docs'\r"
      "FileToRun=second\n"
      "\r\n"
      "[ Extra ]\r\n"
      "k=a\0b\r\n"
      "[information]\r\n"
      "ShellExec=1\r\n"s;
  const std::vector<ProfileEntry> expected = {
      {"", "Top", "0", 1},
      {"Information", "FileToRun", "\"Setup.exe\" /S", 3},
      {"Information", ";FileToRun", "old", 4},
      {"Information", "BrowsePath", "Docs", 6},
      {"Information", "FileToRun", "second", 7},
      {"Extra", "k", "a", 10},
      {"information", "ShellExec", "1", 12},
  };
  EXPECT_EQ(ListProfileEntries(file), expected);
}

TEST(ListProfileEntries, ShowsNamesNoAnsiNameCanMatchWithQuestionMarks) {
  // U+FF26 looks like "F" to WideCharToMultiByte, yet no name asked for in
  // code page 1252 finds it: Windows gave the default for "FileToRun", and
  // "va" for BrowsePath (U+0101 taken as "a").
  const std::string file =
      Utf16Le(u"\uFEFF[Information]\r\n\uFF26ileToRun=1\r\nBrowsePath=v\u0101\r\n"s);
  const std::vector<ProfileEntry> expected = {{"Information", "?ileToRun", "1", 2},
                                              {"Information", "BrowsePath", "va", 3}};
  EXPECT_EQ(ListProfileEntries(file), expected);
  char buffer[kBufferSize];
  EXPECT_EQ(
      ReadProfileValue(file, "Information", "FileToRun", kDefault.c_str(), buffer, sizeof buffer),
      kDefault.size());
  EXPECT_EQ(
      ReadProfileValue(file, "Information", "BrowsePath", kDefault.c_str(), buffer, sizeof buffer),
      2u);
  EXPECT_STREQ(buffer, "va");
}

}  // namespace
