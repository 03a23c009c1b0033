// Which bytes the launcher takes for its own path when the folder's name has
// characters the ANSI code page cannot spell. The fake's code page holds the
// units below 0x100 only, so "Ж" (U+0416) has no form and "é" has one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "paths/module_path.h"

namespace {

std::string Str(const Text& text) { return std::string(text.CString(), text.Length()); }

struct ModulePathCase {
  const char* name;
  std::u16string widePath;                                       // GetModuleFileNameW
  std::vector<std::pair<std::u16string, std::u16string>> shorts;  // GetShortPathNameW
  std::string expected;
  bool fallsBack;  // to the system's own best-fit conversion
};

TEST(ModulePathTest, TakesTheExactAnsiFormOrTheShortFolderName) {
  const ModulePathCase cases[] = {
      {"every character converts", u"E:\\Start.exe", {}, "E:\\Start.exe", false},
      {"a character the code page holds", u"C:\\Caf\u00e9\\Start.exe", {},
       "C:\\Caf\xe9\\Start.exe", false},
      {"foreign folder: its short name, then the long launcher name",
       u"Z:\\tmp\\\u0416media\\Start.exe",
       {{u"Z:\\tmp\\\u0416media\\Start.exe", u"Z:\\tmp\\MEDIA~1\\START.EXE"}},
       "Z:\\tmp\\MEDIA~1\\Start.exe", false},
      {"foreign launcher name as well: the whole path short", u"Z:\\\u0416media\\\u0416.exe",
       {{u"Z:\\\u0416media\\\u0416.exe", u"Z:\\MEDIA~1\\A~1.EXE"}},
       "Z:\\MEDIA~1\\A~1.EXE", false},
      {"no short names on the volume: the system's ANSI path, as ever",
       u"Z:\\\u0416media\\Start.exe", {}, "Z:\\?media\\Start.exe", true},
      {"the system's ANSI path takes look-alikes", u"C:\\\u0141ukasz\\Start.exe", {},
       "C:\\Lukasz\\Start.exe", true},
      {"short name still foreign", u"Z:\\\u0416media\\Start.exe",
       {{u"Z:\\\u0416media\\Start.exe", u"Z:\\\u0416MEDIA\\START.EXE"}},
       "Z:\\?media\\Start.exe", true},
      {"short name query fails", u"Z:\\\u0416media\\Start.exe",
       {{u"Z:\\\u0416media\\Start.exe", u""}}, "Z:\\?media\\Start.exe", true},
      {"foreign launcher name with no short form", u"Z:\\\u0416media\\\u0416.exe",
       {{u"Z:\\\u0416media\\\u0416.exe", u"Z:\\MEDIA~1\\\u0416.exe"}}, "Z:\\?media\\?.exe", true},
      {"no folder at all", u"\u0416.exe", {}, "?.exe", true},
  };
  for (const ModulePathCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    Fake().moduleWidePath = c.widePath;
    for (const auto& [longPath, shortPath] : c.shorts) Fake().shortPaths[longPath] = shortPath;
    {
      Text path;
      ASSERT_TRUE(ReadModulePath(path));
      EXPECT_EQ(Str(path), c.expected);
    }
    EXPECT_EQ(Fake().CallsNamed("WideCharToMultiByte(best fit)").size(), c.fallsBack ? 1u : 0u);
    EXPECT_EQ(Fake().liveBlocks, 0);
  }
}

TEST(ModulePathTest, LongPathsAreReadWhole) {
  const std::string deep = "C:\\" + std::string(300, 'a') + "\\Start.exe";
  std::u16string wideDeep(deep.begin(), deep.end());
  ResetFake();
  Fake().moduleWidePath = wideDeep;
  Text path;
  ASSERT_TRUE(ReadModulePath(path));
  EXPECT_EQ(Str(path), deep);
  const std::vector<std::string> reads = {"GetModuleFileNameW(261)", "GetModuleFileNameW(522)"};
  EXPECT_EQ(Fake().CallsNamed("GetModuleFileNameW"), reads);
}

TEST(ModulePathTest, MemoryRunningOutAtAnyStepIsReported) {
  // Past the last allocation the read succeeds; before it, each failure is
  // reported and leaks nothing.
  bool sawFailure = false;
  bool sawSuccess = false;
  for (long failing = 0; failing < 16; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing));
    ResetFake();
    Fake().moduleWidePath = u"Z:\\\u0416media\\\u0416.exe";
    Fake().shortPaths[u"Z:\\\u0416media\\\u0416.exe"] = u"Z:\\MEDIA~1\\A~1.EXE";
    Fake().failingAllocation = failing;
    {
      Text path;
      bool read = ReadModulePath(path);
      if (read) {
        EXPECT_EQ(Str(path), "Z:\\MEDIA~1\\A~1.EXE");
        sawSuccess = true;
      } else {
        EXPECT_FALSE(sawSuccess) << "a failure after the last allocation";
        sawFailure = true;
      }
    }
    EXPECT_EQ(Fake().liveBlocks, 0);
  }
  EXPECT_TRUE(sawFailure);
  EXPECT_TRUE(sawSuccess);
}

}  // namespace
