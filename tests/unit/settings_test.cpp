// Loading the settings file: when it counts as present, what is read and in
// which order, how flags are read, and what a failure mid-load leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "paths/double_byte_text.h"
#include "settings/launch_settings.h"
#include "settings/settings_reader.h"

namespace {

const std::string kIni = "C:\\CD\\Start.ini";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFake();
    DetectDoubleByteText();
    Fake().calls.clear();
    ASSERT_TRUE(path_.Assign({kIni.c_str()}));
    Fake().allocationCount = 0;
  }
  void TearDown() override {
    settings_ = LaunchSettings();
    EXPECT_EQ(Fake().liveBlocks, 1) << "only the path may be left";
  }

  void Set(const std::string& key, const std::string& value) {
    Fake().SetProfileValue(kIni, "Information", key, value);
  }
  void Load() { LoadLaunchSettings(path_, settings_); }
  std::string Str(const Text& text) { return std::string(text.CString(), text.Length()); }

  Text path_;
  LaunchSettings settings_;
};

std::string Read(const std::string& key) {
  return "GetPrivateProfileStringA(Information, " + key + ", \"\", 2048, " + kIni + ")";
}
const std::string kFlush = "WritePrivateProfileStringA(null, null, null, " + kIni + ")";

TEST_F(SettingsTest, AbsentFileReadsNothing) {
  struct Case {
    const char* name;
    bool exists;
    FakeEntry entry;
  };
  const Case cases[] = {
      {"missing", false, {}},
      {"a directory", true, {0x10, true}},
      {"a directory with more attributes", true, {0x10 | 0x01 | 0x20, true}},
      {"last written before 1980", true, {0x20, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fake().entries.clear();
    Fake().calls.clear();
    if (c.exists) Fake().AddFile(kIni, c.entry);
    Set("FileToRun", "x.exe");
    Set("ShellExec", "1");
    Load();
    EXPECT_TRUE(Fake().CallsNamed("GetPrivateProfileStringA").empty());
    EXPECT_TRUE(Fake().CallsNamed("WritePrivateProfileStringA").empty());
    EXPECT_EQ(Fake().CallsNamed("FindFirstFileA").size(), 1u);
    EXPECT_EQ(Fake().CallsNamed("FindClose").size(), c.exists ? 1u : 0u);
    EXPECT_TRUE(settings_.FileToRun.Empty());
    EXPECT_FALSE(settings_.ShellExec);
    EXPECT_FALSE(settings_.BrowseForFolder);
    EXPECT_TRUE(settings_.BrowsePath.Empty());
  }
}

TEST_F(SettingsTest, PresentFileIsReadKeyByKeyThenFlushed) {
  Fake().AddFile(kIni);
  Set("FileToRun", "Setup\\Install.exe");
  Set("ShellExec", "1");
  Set("BrowseForFolder", "0");
  Set("BrowsePath", "Docs");
  Load();
  const std::vector<std::string> expected = {
      "FindFirstFileA(" + kIni + ")", "FindClose", "FileTimeToDosDateTime",
      Read("FileToRun"), Read("ShellExec"), Read("BrowseForFolder"), Read("BrowsePath"), kFlush,
  };
  EXPECT_EQ(Fake().calls, expected);
  EXPECT_EQ(Str(settings_.FileToRun), "Setup\\Install.exe");
  EXPECT_TRUE(settings_.ShellExec);
  EXPECT_FALSE(settings_.BrowseForFolder);
  EXPECT_EQ(Str(settings_.BrowsePath), "Docs");
}

TEST_F(SettingsTest, EmptyFileStillMakesEveryReadAndTheFlush) {
  Fake().AddFile(kIni);
  Fake().SetProfileValue(kIni, "Other", "FileToRun", "elsewhere.exe");
  Fake().SetProfileValue(kIni, "Other", "BrowseForFolder", "1");
  Load();
  EXPECT_EQ(Fake().CallsNamed("GetPrivateProfileStringA").size(), 4u);
  EXPECT_EQ(Fake().CallsNamed("WritePrivateProfileStringA").size(), 1u);
  EXPECT_TRUE(settings_.FileToRun.Empty());
  EXPECT_FALSE(settings_.BrowseForFolder);
}

TEST_F(SettingsTest, LongValueIsCutTo2047Bytes) {
  Fake().AddFile(kIni);
  std::string value(3000, 'a');
  value[2046] = 'z';
  Set("FileToRun", value);
  Load();
  EXPECT_EQ(Str(settings_.FileToRun), value.substr(0, 2047));
}

// A failure while making a text, injected at each allocation of the load in
// turn: creating the reader, then the text of each of the four keys.
TEST_F(SettingsTest, FailureMidLoadReleasesTheReaderAndDropsTheTarget) {
  struct Case {
    const char* step;
    long failingAllocation;
    bool flushed;
    bool shellExec, browseForFolder;
    const char* browsePath;
  };
  const Case cases[] = {
      {"creating the reader", 0, false, false, false, ""},
      {"reading FileToRun", 1, true, false, false, ""},
      {"reading ShellExec", 2, true, false, false, ""},
      {"reading BrowseForFolder", 3, true, true, false, ""},
      {"reading BrowsePath", 4, true, true, true, ""},
      {"none", -1, true, true, true, "Docs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    Fake().calls.clear();
    Fake().AddFile(kIni);
    Set("FileToRun", "Setup.exe");
    Set("ShellExec", "1");
    Set("BrowseForFolder", "$1");
    Set("BrowsePath", "Docs");
    settings_ = LaunchSettings();
    Fake().allocationCount = 0;
    Fake().failingAllocation = c.failingAllocation;
    Load();
    std::vector<std::string> flushes = Fake().CallsNamed("WritePrivateProfileStringA");
    EXPECT_EQ(flushes.size(), c.flushed ? 1u : 0u);
    if (c.flushed) {
      EXPECT_EQ(Fake().calls.back(), kFlush) << "released before anything else";
    }
    if (!c.flushed) {
      EXPECT_TRUE(Fake().CallsNamed("GetPrivateProfileStringA").empty());
    }
    EXPECT_EQ(Str(settings_.FileToRun), c.failingAllocation < 0 ? "Setup.exe" : "");
    EXPECT_EQ(settings_.ShellExec, c.shellExec);
    EXPECT_EQ(settings_.BrowseForFolder, c.browseForFolder);
    EXPECT_EQ(Str(settings_.BrowsePath), c.browsePath);
  }
}

// A fault the system reports (an unreadable disc, say) is a failure like
// memory running out, in every step from the first read to the release.
TEST_F(SettingsTest, SystemFaultMidLoadReleasesTheReaderAndDropsTheTarget) {
  struct Case {
    const char* faultingKey;
    bool flushFaults;
    bool shellExec, browseForFolder;
    const char* browsePath;
  };
  const Case cases[] = {
      {"FileToRun", false, false, false, ""},
      {"ShellExec", false, false, false, ""},
      {"BrowseForFolder", false, true, false, ""},
      {"BrowsePath", false, true, true, ""},
      {"", true, true, true, "Docs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flushFaults ? "releasing the reader" : c.faultingKey);
    Fake().calls.clear();
    Fake().AddFile(kIni);
    Set("FileToRun", "Setup.exe");
    Set("ShellExec", "1");
    Set("BrowseForFolder", "1");
    Set("BrowsePath", "Docs");
    Fake().faultingKey = c.faultingKey;
    Fake().flushFaults = c.flushFaults;
    settings_ = LaunchSettings();
    Load();
    const std::vector<std::string>& calls = Fake().calls;
    ASSERT_EQ(Fake().CallsNamed("fault").size(), 1u);
    // Released once: after the faulting read, or in the faulting flush itself.
    EXPECT_EQ(Fake().CallsNamed("WritePrivateProfileStringA").size(), 1u);
    EXPECT_EQ(calls.back(), c.flushFaults ? "fault" : kFlush);
    EXPECT_TRUE(settings_.FileToRun.Empty());
    EXPECT_EQ(settings_.ShellExec, c.shellExec);
    EXPECT_EQ(settings_.BrowseForFolder, c.browseForFolder);
    EXPECT_EQ(Str(settings_.BrowsePath), c.browsePath);
  }
}

TEST_F(SettingsTest, FailureLeavesEntryValuesOfTheUnreadKeys) {
  Fake().AddFile(kIni);
  Set("ShellExec", "0");
  ASSERT_TRUE(settings_.BrowsePath.Assign({"entry"}));
  settings_.BrowseForFolder = true;
  Fake().allocationCount = 0;
  Fake().failingAllocation = 2;  // the text of ShellExec
  Load();
  EXPECT_TRUE(settings_.BrowseForFolder);
  EXPECT_EQ(Str(settings_.BrowsePath), "entry");
  settings_.BrowsePath.Clear();
}

// The "0x" rewrite makes one more text; a failure there is a failure too.
TEST_F(SettingsTest, FailureWhileRewritingHexPrefixFailsTheRead) {
  Fake().AddFile(kIni);
  Set("ShellExec", "0x1");
  Set("BrowsePath", "Docs");
  Fake().allocationCount = 0;
  Fake().failingAllocation = 3;  // after reader, FileToRun and ShellExec's text
  Load();
  EXPECT_FALSE(settings_.ShellExec);
  EXPECT_TRUE(Fake().CallsNamed("GetPrivateProfileStringA(Information, BrowseForFolder").empty());
  EXPECT_EQ(Fake().calls.back(), kFlush);
}

class SettingReadTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    ASSERT_TRUE(CreateSettingsReader(path_.View(), reader_));
  }
  void TearDown() override {
    ReleaseSettingsReader(reader_);
    SettingsTest::TearDown();
  }
  SettingsReader reader_;
};

// How a flag's text reads, through the integer read with its "0x" rewrite.
// A text that is no integer gives the caller's default.
TEST_F(SettingReadTest, IntegerAndFlagTexts) {
  struct Case {
    std::string text;
    bool isInteger;
    int32_t value;
  };
  const Case cases[] = {
      {"1", true, 1},          {"0", true, 0},
      {"-1", true, -1},        {"09", true, 9},
      {" 1", true, 1},         {"   -7", true, -7},
      {"1 ", false, 0},        {"\t1", false, 0},
      {"\xA0" "1", false, 0},  {"", false, 0},
      {"yes", false, 0},       {"true", false, 0},
      {"1.0", false, 0},       {"2147483648", false, 0},
      {"0x10", true, 16},      {"0X10", true, 16},
      {"0x", false, 0},        {"0X", false, 0},
      {"0xFFFFFFFF", true, -1}, {"0x1G", false, 0},
      {"00x10", false, 0},     {"-0x10", true, -16},
      {"$80000000", true, INT32_MIN}, {"$0", true, 0},
      {std::string("1\0" "5", 3), true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    Set("Key", c.text);
    int32_t number = 12345;
    ASSERT_TRUE(ReadSettingInteger(reader_, "Information", "Key", 77, number));
    EXPECT_EQ(number, c.isInteger ? c.value : 77);
    for (bool defaultFlag : {false, true}) {
      bool flag = !defaultFlag;
      ASSERT_TRUE(ReadSettingFlag(reader_, "Information", "Key", defaultFlag, flag));
      EXPECT_EQ(flag, c.isInteger ? c.value != 0 : defaultFlag);
    }
  }
}

TEST_F(SettingReadTest, MissingKeyGivesTheDefaultsAndAlwaysAsksWithAnEmptyDefault) {
  int32_t number = 0;
  ASSERT_TRUE(ReadSettingInteger(reader_, "Information", "Absent", -5, number));
  EXPECT_EQ(number, -5);
  EXPECT_EQ(Fake().calls.back(), Read("Absent"));
  Text text;
  ASSERT_TRUE(ReadSettingText(reader_, "Information", "Absent", "fallback", text));
  EXPECT_EQ(Str(text), "fallback");
}

}  // namespace
