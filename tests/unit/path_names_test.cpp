// Cutting paths into pieces, with the double-byte rule off and on, and the
// two paths the launcher builds from its own module path.
#include "paths/path_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "paths/double_byte_text.h"
#include "startup/launch_request.h"

namespace {

std::string Str(TextView view) { return std::string(view.bytes, view.length); }
TextView View(const std::string& text) { return TextView(text.data(), text.size()); }

// With the fake's default answers (US English on NT) the rule is off.
void TurnDoubleByteRuleOff() {
  ResetFake();
  DetectDoubleByteText();
}

// Japanese on NT: code page 932, lead bytes 0x81-0x9F and 0xE0-0xFC.
void TurnDoubleByteRuleOn() {
  ResetFake();
  Fake().threadLocale = 0x0411;
  Fake().platformId = 2;
  Fake().localeCodePageText = "932";
  Fake().leadByteRanges[932] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0, 0, 0, 0, 0, 0, 0};
  DetectDoubleByteText();
}

class PathNamesRuleOff : public ::testing::Test {
 protected:
  void SetUp() override {
    TurnDoubleByteRuleOff();
    ASSERT_FALSE(DoubleByteTextOn());
  }
  void TearDown() override { TurnDoubleByteRuleOff(); }
};

class PathNamesRuleOn : public ::testing::Test {
 protected:
  void SetUp() override {
    TurnDoubleByteRuleOn();
    ASSERT_TRUE(DoubleByteTextOn());
  }
  void TearDown() override { TurnDoubleByteRuleOff(); }
};

struct CutRow {
  std::string path;
  std::string directoryPart;
  std::string namePart;
  std::string extensionPart;
  std::string directoryOf;
  std::string baseName;
};

void ExpectCuts(const CutRow& row) {
  SCOPED_TRACE("path \"" + row.path + "\"");
  TextView path = View(row.path);
  EXPECT_EQ(Str(DirectoryPart(path)), row.directoryPart);
  EXPECT_EQ(Str(NamePart(path)), row.namePart);
  EXPECT_EQ(Str(ExtensionPart(path)), row.extensionPart);
  EXPECT_EQ(Str(DirectoryOf(path)), row.directoryOf);
  EXPECT_EQ(Str(BaseName(path)), row.baseName);
}

const std::vector<CutRow> kSingleByteCuts = {
    {"D:\\Tools\\x.exe", "D:\\Tools\\", "x.exe", ".exe", "D:\\Tools", "x"},
    {"x.exe", "", "x.exe", ".exe", "", "x"},
    {"C:\\", "C:\\", "", "", "C:\\", ""},
    {"C:", "C:", "", "", "C:", ""},
    {"C:x.exe", "C:", "x.exe", ".exe", "C:", "x"},
    {"\\", "\\", "", "", "\\", ""},
    {"\\x.exe", "\\", "x.exe", ".exe", "\\", "x"},
    {"\\\\", "\\\\", "", "", "\\\\", ""},
    {"\\\\server\\share\\x.exe", "\\\\server\\share\\", "x.exe", ".exe", "\\\\server\\share", "x"},
    {"C:\\Tools\\", "C:\\Tools\\", "", "", "C:\\Tools", ""},
    {"C:\\\\x.exe", "C:\\\\", "x.exe", ".exe", "C:\\\\", "x"},
    {"D:\\Tools\\\\x.exe", "D:\\Tools\\\\", "x.exe", ".exe", "D:\\Tools\\\\", "x"},
    {"C:\\my.dir\\file", "C:\\my.dir\\", "file", "", "C:\\my.dir", "file"},
    {"a.tar.gz", "", "a.tar.gz", ".gz", "", "a.tar"},
    {"file.", "", "file.", ".", "", "file"},
    {".ini", "", ".ini", ".ini", "", ""},
    {"C:\\a/b/Setup.exe", "C:\\", "a/b/Setup.exe", ".exe", "C:\\", "Setup"},
    {"C:\\dir.old/Setup", "C:\\", "dir.old/Setup", ".old/Setup", "C:\\", "dir"},
    {"abc/.exe", "", "abc/.exe", ".exe", "", ""},
    {"D:\\..\\Installer\\Setup.exe", "D:\\..\\Installer\\", "Setup.exe", ".exe",
     "D:\\..\\Installer", "Setup"},
    {"D:\\Tools\\x.exe /S", "D:\\Tools\\", "x.exe /S", ".exe /S", "D:\\Tools", "x"},
    {"", "", "", "", "", ""},
};

// Lead bytes 0x81-0x9F and 0xE0-0xFC; \x5C is the byte "\" itself.
const std::vector<CutRow> kDoubleByteCuts = {
    {"C:\\\x95\x5C", "C:\\", "\x95\x5C", "", "C:\\", "\x95\x5C"},
    {"C:\\\x95\x5C\\x.exe", "C:\\\x95\x5C\\", "x.exe", ".exe", "C:\\\x95\x5C", "x"},
    {"C:\\\x81\x81\\x.exe", "C:\\\x81\x81\\", "x.exe", ".exe", "C:\\\x81\x81", "x"},
    {"C:\\\x81\x81\x81\x5C", "C:\\", "\x81\x81\x81\x5C", "", "C:\\", "\x81\x81\x81\x5C"},
    {"C:\\\x95\x5C.txt", "C:\\", "\x95\x5C.txt", ".txt", "C:\\", "\x95\x5C"},
    {"C:\\\x95/x.exe", "C:\\", "\x95/x.exe", ".exe", "C:\\", "x"},
};

struct ModulePathRow {
  std::string modulePath;
  std::string directoryPart;
  std::string namePart;
  std::string baseName;
  std::string settingsPath;
  std::string defaultTarget;
};

const std::vector<ModulePathRow> kModulePaths = {
    {"D:\\Setup.exe", "D:\\", "Setup.exe", "Setup", "D:\\Setup.ini",
     "D:\\..\\Installer\\Setup.exe"},
    {"C:\\CD\\Setup.en.exe", "C:\\CD\\", "Setup.en.exe", "Setup.en", "C:\\CD\\Setup.en.ini",
     "C:\\CD\\..\\Installer\\Setup.en.exe"},
    {"E:\\Disk.1\\Setup", "E:\\Disk.1\\", "Setup", "Setup", "E:\\Disk.1\\Setup.ini",
     "E:\\Disk.1\\..\\Installer\\Setup"},
    {"\\\\server\\share\\Setup.exe", "\\\\server\\share\\", "Setup.exe", "Setup",
     "\\\\server\\share\\Setup.ini", "\\\\server\\share\\..\\Installer\\Setup.exe"},
    // GetModuleFileNameA gave 0.
    {"", "", "", "", ".ini", "..\\Installer\\"},
};

std::vector<std::string> AllTablePaths() {
  std::vector<std::string> paths;
  for (const CutRow& row : kSingleByteCuts) paths.push_back(row.path);
  for (const CutRow& row : kDoubleByteCuts) paths.push_back(row.path);
  for (const ModulePathRow& row : kModulePaths) paths.push_back(row.modulePath);
  return paths;
}

void ExpectDirectoryAndNameMakeThePath() {
  for (const std::string& path : AllTablePaths()) {
    SCOPED_TRACE("path \"" + path + "\"");
    EXPECT_EQ(Str(DirectoryPart(View(path))) + Str(NamePart(View(path))), path);
  }
}

TEST_F(PathNamesRuleOff, CutsPaths) {
  for (const CutRow& row : kSingleByteCuts) ExpectCuts(row);
}

TEST_F(PathNamesRuleOff, TakesEverySecondByteForWhatItIs) {
  // The byte after a lead-byte value is an ordinary "\" while the rule is off.
  ExpectCuts({"C:\\\x95\x5C", "C:\\\x95\x5C", "", "", "C:\\\x95", ""});
}

TEST_F(PathNamesRuleOn, PassesOverTrailBytes) {
  for (const CutRow& row : kDoubleByteCuts) ExpectCuts(row);
}

TEST_F(PathNamesRuleOn, CutsSingleBytePathsAsBefore) {
  for (const CutRow& row : kSingleByteCuts) ExpectCuts(row);
}

TEST_F(PathNamesRuleOff, DirectoryAndNameMakeThePath) { ExpectDirectoryAndNameMakeThePath(); }

TEST_F(PathNamesRuleOn, DirectoryAndNameMakeThePath) { ExpectDirectoryAndNameMakeThePath(); }

TEST_F(PathNamesRuleOff, FormsSettingsPathAndDefaultTargetFromModulePath) {
  for (const ModulePathRow& row : kModulePaths) {
    SCOPED_TRACE("module path \"" + row.modulePath + "\"");
    TextView modulePath = View(row.modulePath);
    EXPECT_EQ(Str(DirectoryPart(modulePath)), row.directoryPart);
    EXPECT_EQ(Str(NamePart(modulePath)), row.namePart);
    EXPECT_EQ(Str(BaseName(modulePath)), row.baseName);

    Text settingsPath;
    ASSERT_TRUE(FormSettingsPath(modulePath, settingsPath));
    EXPECT_EQ(Str(settingsPath.View()), row.settingsPath);

    Text defaultTarget;
    ASSERT_TRUE(FormDefaultTarget(modulePath, defaultTarget));
    EXPECT_EQ(Str(defaultTarget.View()), row.defaultTarget);
  }
}

struct DelimiterRow {
  std::string delimiters;
  std::string text;
  size_t position;
};

void ExpectRightmostDelimiters(const std::vector<DelimiterRow>& rows) {
  for (const DelimiterRow& row : rows) {
    SCOPED_TRACE("delimiters \"" + row.delimiters + "\" in \"" + row.text + "\"");
    EXPECT_EQ(RightmostDelimiter(View(row.delimiters), View(row.text)), row.position);
  }
}

TEST_F(PathNamesRuleOff, FindsRightmostDelimiter) {
  ExpectRightmostDelimiters({
      {"\\:", "C:\\a\\b", 5},
      {"\\:", "C:b", 2},
      {".\\:", "C:\\a.b\\c", 7},
      {"\\:", "abc", 0},
      {"\\:", "", 0},
      {"", "C:\\", 0},
      // A 0 byte is never a delimiter, even when the set holds one.
      {std::string("\0", 1), std::string("a\0b", 3), 0},
      {std::string("\\\0", 2), std::string("a\\b\0c", 5), 2},
  });
}

TEST_F(PathNamesRuleOn, FindsRightmostDelimiterPassingOverWholeCharacters) {
  ExpectRightmostDelimiters({
      {"\\", "C:\\\x95\x5C", 3},
      {"\\", "\x95\x5C", 0},
      // An even run of lead-byte values: the "\" is a character of its own.
      {"\\", "\x95\x95\x5C", 3},
      // A trail byte found in the set takes its lead byte with it, even when
      // the lead byte's value is in the set too.
      {"\x95\\", "\x95\x5C", 0},
      {"\x95" "A", "\x95" "A", 0},
      {"\x95" "A", "A\x95", 2},
      // The text goes on past a 0 byte, which ends a run of lead-byte values.
      {"\\", std::string("\x95\0\\", 3), 3},
  });
}

}  // namespace

// Windows compares names without regard to the case of their letters; the
// second byte of a double-byte character is no letter, whatever its value.
TEST(SamePathTextTest, FoldsAsciiLettersOutsideDoubleByteCharacters) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case westernCases[] = {
      {"C:\\CD\\Start.exe", "c:\\cd\\START.EXE", true},
      {"C:\\CD\\Start.exe", "C:\\CD\\Start.exe ", false},
      {"C:\\CD\\Start.exe", "C:\\CD\\..\\CD\\Start.exe", false},
      {"C:\\CD\\\xC9tude.exe", "C:\\CD\\\xE9tude.exe", false},  // only ASCII is folded
      {"", "", true},
      {"C:\\[", "C:\\{", false},
  };
  for (const Case& c : westernCases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(SamePathText(c.a, c.b), c.same);
  }
  ResetFake();
  Fake().threadLocale = 0x0411;  // Japanese
  Fake().leadByteRanges[932] = {0x81, 0x9F, 0xE0, 0xFC};
  Fake().localeCodePageText = "932";
  DetectDoubleByteText();
  // 0x83 0x41 and 0x83 0x61 are two different characters.
  EXPECT_FALSE(SamePathText("C:\\\x83\x41.exe", "C:\\\x83\x61.exe"));
  EXPECT_TRUE(SamePathText("C:\\\x83\x41.exe", "c:\\\x83\x41.EXE"));
  ResetFake();
  DetectDoubleByteText();
}
