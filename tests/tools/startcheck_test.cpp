// The checker's verdict and request for a table of media layouts, each made
// in a scratch folder that stands for drive E:.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check.h"
#include "host_media.h"

namespace {

namespace fs = std::filesystem;

struct Layout {
  const char* name;
  const char* launcher;               // its Windows path on E:
  std::vector<std::string> files;     // relative to the media root; "/" ends a folder
  std::string settings;               // the settings file's lines; "" for none
  int exitCode;
  const char* mode;
  std::string request;                // command line, or file, or folder parameters
  const char* currentDirectory;       // ProcessStart: null for none
  std::vector<std::string> warnings;  // a piece of each expected warning, in order
};

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text = "[Information]\r\n";
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

class StartCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/startcheck-XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(root_); }

  void Make(const std::string& relative, const std::string& content = "") {
    fs::path path = root_ / relative;
    if (!relative.empty() && relative.back() == '/') {
      fs::create_directories(path);
      return;
    }
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  CheckReport Check(const std::string& launcher) {
    HostMedia media("E:\\", root_.string());
    return CheckLaunch(launcher, media);
  }

  fs::path root_;
};

std::string Settings(const char* launcher) {
  std::string name = std::string(launcher).substr(3);
  return name.substr(0, name.rfind('.')) + ".ini";
}

TEST_F(StartCheckTest, MediaLayouts) {
  const Layout layouts[] = {
      {"default target present", "E:\\CD\\Start.exe", {"CD/Start.exe", "Installer/Start.exe"},
       "", 0, "ProcessStart", "E:\\CD\\..\\Installer\\Start.exe", "E:\\CD\\..\\Installer", {}},
      {"default target missing", "E:\\CD\\Start.exe", {"CD/Start.exe"}, "", 2, "ProcessStart",
       "E:\\CD\\..\\Installer\\Start.exe", nullptr, {"does not exist: nothing would start"}},
      {"installer with arguments in its folder", "E:\\Start.exe",
       {"Start.exe", "Setup/Setup.exe"}, Lines({"FileToRun=Setup\\Setup.exe /S /LOG=C:\\x.log"}),
       0, "ProcessStart", "Setup\\Setup.exe /S /LOG=C:\\x.log", nullptr, {}},
      {"installer by full path", "E:\\Start.exe", {"Start.exe", "Setup/Setup.exe"},
       Lines({"FileToRun=E:\\Setup\\Setup.exe /S"}), 0, "ProcessStart",
       "E:\\Setup\\Setup.exe /S", "E:\\Setup", {}},
      {"unquoted program path with a blank", "E:\\Start.exe",
       {"Start.exe", "My Apps/x.exe"}, Lines({"FileToRun=E:\\My Apps\\x.exe"}), 1,
       "ProcessStart", "E:\\My Apps\\x.exe", "E:\\My Apps", {"not quoted"}},
      {"quoted program path with a blank", "E:\\Start.exe", {"Start.exe", "My Apps/x.exe"},
       Lines({"FileToRun=\"E:\\My Apps\\x.exe\" /q"}), 0, "ProcessStart",
       "\"E:\\My Apps\\x.exe\" /q", "E:\\My Apps", {}},
      {"flag that is no number", "E:\\Start.exe", {"Start.exe", "x.exe"},
       Lines({"FileToRun=x.exe", "ShellExec=yes"}), 1, "ProcessStart", "x.exe", nullptr,
       {"\"yes\" is not a number"}},
      {"document through the shell", "E:\\Start.exe", {"Start.exe", "Readme.html"},
       Lines({"FileToRun=Readme.html", "ShellExec=0x1"}), 0, "ShellOpen", "Readme.html", nullptr,
       {}},
      {"folder beside the launcher", "E:\\Start.exe", {"Start.exe", "Docs/"},
       Lines({"BrowseForFolder=1", "BrowsePath=Docs"}), 0, "FolderBrowse", "E:\\Docs", nullptr,
       {}},
      {"absolute folder", "E:\\Start.exe", {"Start.exe", "Docs/"},
       Lines({"BrowseForFolder=1", "BrowsePath=E:\\Docs"}), 2, "FolderBrowse", "E:\\E:\\Docs",
       nullptr, {"is put after the launcher's folder", "does not exist"}},
      {"keys in another section", "E:\\Start.exe", {"Start.exe", "Installer/Start.exe"},
       "[Setup]\r\nFileToRun=x.exe\r\n", 1, "ProcessStart", "E:\\..\\Installer\\Start.exe",
       "E:\\..\\Installer", {"in the section [Setup]"}},
      {"misspelled key", "E:\\Start.exe", {"Start.exe", "x.exe"},
       Lines({"FileToRun=x.exe", "ShelExec=1"}), 1, "ProcessStart", "x.exe", nullptr,
       {"did you mean ShellExec?"}},
      {"value cut at 2047 bytes", "E:\\Start.exe", {"Start.exe", "x.exe"},
       Lines({"FileToRun=x.exe", ("BrowsePath=" + std::string(3000, 'd')).c_str()}), 1,
       "ProcessStart", "x.exe", nullptr, {"BrowsePath is longer than 2047 bytes"}},
      {"launcher named for installers", "E:\\Setup.exe", {"Setup.exe", "x.exe"},
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "x.exe", nullptr,
       {"administrator rights"}},
      {"settings file is a folder", "E:\\Start.exe",
       {"Start.exe", "Start.ini/", "Installer/Start.exe"}, "", 1, "ProcessStart",
       "E:\\..\\Installer\\Start.exe", "E:\\..\\Installer", {"A folder bears"}},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    fs::remove_all(root_);
    fs::create_directories(root_);
    for (const std::string& file : layout.files) Make(file);
    if (!layout.settings.empty()) Make(Settings(layout.launcher), layout.settings);
    CheckReport report = Check(layout.launcher);
    EXPECT_EQ(report.ExitCode(), layout.exitCode);
    EXPECT_EQ(report.mode, layout.mode);
    if (report.mode == "ProcessStart") {
      EXPECT_EQ(report.commandLine, layout.request);
      EXPECT_EQ(report.hasCurrentDirectory, layout.currentDirectory != nullptr);
      if (layout.currentDirectory) {
        EXPECT_EQ(report.currentDirectory, layout.currentDirectory);
      }
    } else if (report.mode == "ShellOpen") {
      EXPECT_EQ(report.file, layout.request);
      EXPECT_FALSE(report.hasParameters);
    } else {
      EXPECT_EQ(report.file, "explorer.exe");
      EXPECT_EQ(report.parameters, layout.request);
    }
    ASSERT_EQ(report.warnings.size(), layout.warnings.size())
        << ::testing::PrintToString(report.warnings);
    for (size_t i = 0; i < layout.warnings.size(); ++i) {
      EXPECT_NE(report.warnings[i].find(layout.warnings[i]), std::string::npos)
          << report.warnings[i];
    }
  }
}

TEST_F(StartCheckTest, SettingsLastWrittenBefore1980CountAsAbsent) {
  Make("Start.exe");
  Make("Installer/Start.exe");
  Make("Start.ini", Lines({"FileToRun=x.exe"}));
  struct tm when = {};
  when.tm_year = 75;
  when.tm_mon = 5;
  when.tm_mday = 1;
  when.tm_hour = 12;
  time_t stamp = mktime(&when);
  struct utimbuf times = {stamp, stamp};
  ASSERT_EQ(utime((root_ / "Start.ini").c_str(), &times), 0);
  CheckReport report = Check("E:\\Start.exe");
  EXPECT_EQ(report.settingsState, SettingsState::OutsideDosDates);
  EXPECT_EQ(report.commandLine, "E:\\..\\Installer\\Start.exe");
  EXPECT_EQ(report.ExitCode(), 1);
}

TEST_F(StartCheckTest, FlagReadingsAreExplained) {
  Make("Start.exe");
  Make("x.exe");
  Make("Start.ini", Lines({"FileToRun=x.exe", "ShellExec=yes", "BrowseForFolder=$0"}));
  CheckReport report = Check("E:\\Start.exe");
  std::string text = FormatReport(report);
  EXPECT_NE(text.find("ShellExec       = \"yes\": not a number, off"), std::string::npos) << text;
  EXPECT_NE(text.find("BrowseForFolder = \"$0\": 0, off"), std::string::npos) << text;
  EXPECT_NE(text.find("BrowsePath      = (missing)"), std::string::npos) << text;
  std::string json = FormatReportJson(report);
  EXPECT_NE(json.find("\"ShellExec\": {\"present\": true, \"text\": \"yes\", \"cut\": false, "
                      "\"number\": null, \"on\": false}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"exitCode\": 1"), std::string::npos) << json;
}

TEST_F(StartCheckTest, LetterCaseOfTheMediaDoesNotMatter) {
  Make("Start.exe");
  Make("SETUP/setup.EXE");
  Make("Start.ini", Lines({"FileToRun=E:\\Setup\\Setup.exe"}));
  CheckReport report = Check("E:\\Start.exe");
  EXPECT_EQ(report.targetExists, Existence::Yes);
  EXPECT_EQ(report.currentDirectory, "E:\\Setup");
  EXPECT_EQ(report.ExitCode(), 0);
}

// The example media folders of the repository, with a stand-in for each
// program their README says goes there: without it nothing would start, with
// it the launch works as configured.
TEST_F(StartCheckTest, ExampleFolders) {
  struct Example {
    const char* folder;
    const char* launcherFile;  // where Start.exe goes, relative to the folder
    const char* program;       // the stand-in to place there too; "" for none
    const char* mode;
  };
  const Example examples[] = {
      {"cd-installer", "Start.exe", "Setup/Setup.exe", "ProcessStart"},
      {"elevated-installer", "Start.exe", "Setup/Setup.exe", "ShellOpen"},
      {"plain-cd", "CD/Start.exe", "Installer/Start.exe", "ProcessStart"},
      {"download-page", "Start.exe", "", "ShellOpen"},
      {"usb-docs", "Start.exe", "", "FolderBrowse"},
  };
  for (const Example& example : examples) {
    SCOPED_TRACE(example.folder);
    fs::remove_all(root_);
    fs::copy(fs::path(START_EXAMPLES_DIR) / example.folder, root_, fs::copy_options::recursive);
    Make(example.launcherFile);
    std::string launcher = std::string("E:\\") + example.launcherFile;
    for (char& c : launcher) c = c == '/' ? '\\' : c;
    if (*example.program) {
      CheckReport missing = Check(launcher);
      EXPECT_EQ(missing.ExitCode(), 2) << FormatReport(missing);
      Make(example.program);
    }
    CheckReport report = Check(launcher);
    EXPECT_EQ(report.mode, example.mode);
    EXPECT_EQ(report.ExitCode(), 0) << FormatReport(report);
  }
}

}  // namespace
