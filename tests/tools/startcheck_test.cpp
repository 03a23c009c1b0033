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
#include "program_image.h"

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

void Put16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

// The smallest PE image that Windows' loader and the checker read the same
// way: headers, one section of resources, and in it `manifest` (when not
// empty) as the RT_MANIFEST resource 1.
std::string ProgramWithManifest(const std::string& manifest, uint16_t machine = 0x14C) {
  std::string bytes(0x400, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, 0x40);
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(bytes, 0x44, machine);
  Put16(bytes, 0x46, 1);     // one section
  Put16(bytes, 0x54, 224);   // a PE32 optional header
  Put16(bytes, 0x58, 0x10B);
  Put32(bytes, 0x58 + 92, 16);  // data directories
  const size_t section = 0x58 + 224;
  bytes.replace(section, 5, ".rsrc");
  Put32(bytes, section + 8, 0x200);    // size in memory
  Put32(bytes, section + 12, 0x1000);  // address
  Put32(bytes, section + 16, 0x200);   // size in the file
  Put32(bytes, section + 20, 0x200);   // place in the file
  if (manifest.empty()) return bytes;
  Put32(bytes, 0x58 + 96 + 2 * 8, 0x1000);  // the resource table
  Put32(bytes, 0x58 + 96 + 2 * 8 + 4, 0x200);
  const size_t root = 0x200;
  // Type 24, name 1, language 0x409, each a directory of one entry.
  Put16(bytes, root + 14, 1);
  Put32(bytes, root + 16, 24);
  Put32(bytes, root + 20, 0x80000018);
  Put16(bytes, root + 0x18 + 14, 1);
  Put32(bytes, root + 0x18 + 16, 1);
  Put32(bytes, root + 0x18 + 20, 0x80000030);
  Put16(bytes, root + 0x30 + 14, 1);
  Put32(bytes, root + 0x30 + 16, 0x409);
  Put32(bytes, root + 0x30 + 20, 0x48);
  Put32(bytes, root + 0x48, 0x1058);  // the data's address and size
  Put32(bytes, root + 0x48 + 4, static_cast<uint32_t>(manifest.size()));
  bytes.replace(root + 0x58, manifest.size(), manifest);
  return bytes;
}

std::string Manifest(const std::string& level) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
         "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
         "<requestedExecutionLevel " + level + " uiAccess=\"false\"/>"
         "</requestedPrivileges></security></trustInfo></assembly>";
}

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

  void Make(const std::string& relative, const std::string& content = std::string()) {
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
       Lines({"BrowseForFolder=1", "BrowsePath=Docs"}), 0, "FolderBrowse", "\"E:\\Docs\"", nullptr,
       {}},
      {"folder whose name Explorer would split", "E:\\Start.exe", {"Start.exe", "Docs, English/"},
       Lines({"BrowseForFolder=1", "BrowsePath=Docs, English"}), 0, "FolderBrowse",
       "\"E:\\Docs, English\"", nullptr, {}},
      {"absolute folder", "E:\\Start.exe", {"Start.exe", "Docs/"},
       Lines({"BrowseForFolder=1", "BrowsePath=E:\\Docs"}), 2, "FolderBrowse", "\"E:\\E:\\Docs\"",
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
      {"launcher in a folder named outside ASCII", "E:\\\xd0\x96media\\Start.exe",
       {"\xd0\x96media/Start.exe", "Installer/Start.exe"}, "", 1, "ProcessStart",
       "E:\\\xd0\x96media\\..\\Installer\\Start.exe", "E:\\\xd0\x96media\\..\\Installer",
       {"outside ASCII"}},
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

TEST(ProgramImageTest, ReadsTheMachineAndTheManifestsExecutionLevel) {
  struct Case {
    const char* name;
    std::string bytes;
    bool isImage;
    std::string level;
    bool asksForRights;
  };
  const std::string required = ProgramWithManifest(Manifest("level=\"requireAdministrator\""));
  const Case cases[] = {
      {"no program at all", "%PDF-1.7 ...", false, "", false},
      {"MZ without a PE header", "MZ" + std::string(100, '\0'), false, "", false},
      {"program without resources", ProgramWithManifest(""), true, "", false},
      {"as the user", ProgramWithManifest(Manifest("level=\"asInvoker\"")), true, "asInvoker",
       false},
      {"administrator required", required, true, "requireAdministrator", true},
      {"highest available, in single quotes",
       ProgramWithManifest(Manifest("level='highestAvailable'")), true, "highestAvailable", true},
      {"manifest without a level", ProgramWithManifest(Manifest("uiAccess=\"false\"")), true, "",
       false},
      {"cut inside the resources", required.substr(0, 0x260), true, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramImage image = ReadProgramImage(c.bytes);
    EXPECT_EQ(image.isImage, c.isImage);
    EXPECT_EQ(image.executionLevel, c.level);
    EXPECT_EQ(AsksForAdministratorRights(image), c.asksForRights);
  }
  EXPECT_EQ(ReadProgramImage(ProgramWithManifest("", 0x8664)).machine, 0x8664);
}

// Windows refuses such a program as a new process; the launcher hands it to
// the shell, which asks for the rights: it works, but the user must say yes.
TEST_F(StartCheckTest, ProgramThatAsksForAdministratorRights) {
  const std::string setup = ProgramWithManifest(Manifest("level=\"requireAdministrator\""));
  for (const char* settings : {"FileToRun=\"Setup Files\\Setup.exe\" /S", "ShellExec=1"}) {
    SCOPED_TRACE(settings);
    fs::remove_all(root_);
    Make("Start.exe");
    Make("Setup Files/Setup.exe", setup);
    Make("Installer/Start.exe", setup);
    Make("Start.ini", Lines({settings}));
    CheckReport report = Check("E:\\Start.exe");
    EXPECT_EQ(report.ExitCode(), 1);
    EXPECT_EQ(report.elevation, "requireAdministrator");
    ASSERT_EQ(report.warnings.size(), 1u) << ::testing::PrintToString(report.warnings);
    EXPECT_NE(report.warnings[0].find("Windows asks for the rights when the media is opened"),
              std::string::npos)
        << report.warnings[0];
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
      {"elevated-installer", "Start.exe", "Setup/Setup.exe", "ProcessStart"},
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
