// The whole start-up sequence against the recording platform: which request
// is made for which media layout, and that the launcher ends as it should.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "paths/double_byte_text.h"
#include "platform/fault_guard.h"
#include "startup/failure_report.h"
#include "startup/launch_request.h"
#include "startup/startup_sequence.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFake();
    DetectDoubleByteText();
    Fake().calls.clear();
  }
  void TearDown() override { EXPECT_EQ(Fake().liveBlocks, 0); }

  // Runs the launcher as its entry point does; the exit code.
  unsigned RunLauncher() {
    try {
      return static_cast<unsigned>(RunStartupSequence());
    } catch (const ProcessEnded& ended) {
      return ended.exitCode;
    }
  }
  void UseSettings(const std::string& modulePath,
                   const std::vector<std::pair<std::string, std::string>>& values) {
    Fake().modulePath = modulePath;
    std::string ini = modulePath.substr(0, modulePath.rfind('.')) + ".ini";
    Fake().AddFile(ini);
    for (const auto& [key, value] : values) Fake().SetProfileValue(ini, "Information", key, value);
  }
  size_t LaunchCalls() {
    return Fake().CallsNamed("CreateProcessA").size() + Fake().CallsNamed("ShellExecuteExA").size();
  }
};

struct ProcessCase {
  const char* name;
  std::string modulePath;
  std::vector<std::pair<std::string, std::string>> settings;  // none: no settings file
  std::vector<std::string> directories;                       // that exist
  std::string commandLine;
  const char* directory;  // null: the launcher's own current directory
};

TEST_F(StartupTest, ProcessStartRequests) {
  const ProcessCase cases[] = {
      {"no settings file", "E:\\Start.exe", {}, {"E:\\..\\Installer"},
       "E:\\..\\Installer\\Start.exe", "E:\\..\\Installer"},
      {"default target's folder missing", "E:\\Start.exe", {}, {},
       "E:\\..\\Installer\\Start.exe", nullptr},
      {"empty FileToRun", "C:\\CD\\Start.exe", {{"FileToRun", ""}}, {"C:\\CD\\..\\Installer"},
       "C:\\CD\\..\\Installer\\Start.exe", "C:\\CD\\..\\Installer"},
      {"bare program name has no directory", "C:\\CD\\Start.exe", {{"FileToRun", "Setup.exe"}},
       {}, "Setup.exe", nullptr},
      {"arguments stay, directory of the program", "C:\\CD\\Start.exe",
       {{"FileToRun", "D:\\Tools\\x.exe /S"}}, {"D:\\Tools"}, "D:\\Tools\\x.exe /S", "D:\\Tools"},
      {"a delimiter in an argument names no directory", "C:\\CD\\Start.exe",
       {{"FileToRun", "D:\\Tools\\x.exe /dir:C:\\Temp"}}, {"D:\\Tools"},
       "D:\\Tools\\x.exe /dir:C:\\Temp", nullptr},
      {"relative path with an argument holding a backslash", "C:\\CD\\Start.exe",
       {{"FileToRun", "Setup\\Install.exe /LOG=C:\\x.log"}}, {"Setup"},
       "Setup\\Install.exe /LOG=C:\\x.log", nullptr},
      {"relative target used unchanged", "C:\\CD\\Start.exe", {{"FileToRun", "..\\x.exe"}},
       {".."}, "..\\x.exe", ".."},
      {"quoted program: directory inside the quotes", "C:\\CD\\Start.exe",
       {{"FileToRun", "\"C:\\Program Files\\App\\x.exe\" /S /D=C:\\y"}},
       {"C:\\Program Files\\App"}, "\"C:\\Program Files\\App\\x.exe\" /S /D=C:\\y",
       "C:\\Program Files\\App"},
      {"quoted program without closing mark", "C:\\CD\\Start.exe",
       {{"FileToRun", "\"C:\\Apps\\x.exe"}}, {"C:\\Apps"}, "\"C:\\Apps\\x.exe", "C:\\Apps"},
      {"quoted bare name", "C:\\CD\\Start.exe", {{"FileToRun", "\"x.exe\" /q"}}, {},
       "\"x.exe\" /q", nullptr},
      {"author's unquoted blank stays as written", "C:\\CD\\Start.exe",
       {{"FileToRun", "C:\\My Apps\\x.exe"}}, {"C:\\My Apps"}, "C:\\My Apps\\x.exe",
       "C:\\My Apps"},
      {"default target with a blank is quoted", "C:\\Users\\Ann Lee\\CD\\Start.exe", {},
       {"C:\\Users\\Ann Lee\\CD\\..\\Installer"},
       "\"C:\\Users\\Ann Lee\\CD\\..\\Installer\\Start.exe\"",
       "C:\\Users\\Ann Lee\\CD\\..\\Installer"},
      {"root directory keeps its backslash", "C:\\CD\\Start.exe", {{"FileToRun", "C:\\x.exe"}},
       {"C:\\"}, "C:\\x.exe", "C:\\"},
  };
  for (const ProcessCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    DetectDoubleByteText();
    if (!c.settings.empty()) UseSettings(c.modulePath, c.settings);
    Fake().modulePath = c.modulePath;
    for (const std::string& directory : c.directories) Fake().AddDirectory(directory);
    EXPECT_EQ(RunLauncher(), 0u);
    ASSERT_EQ(LaunchCalls(), 1u);
    ASSERT_EQ(Fake().launch.kind, FakeLaunch::Kind::Process);
    EXPECT_EQ(Fake().launch.commandLine, c.commandLine);
    EXPECT_EQ(Fake().launch.hasDirectory, c.directory != nullptr);
    if (c.directory) {
      EXPECT_EQ(Fake().launch.directory, c.directory);
    }
    EXPECT_TRUE(Fake().CallsNamed("MessageBoxA").empty());
  }
}

struct ShellCase {
  const char* name;
  std::string modulePath;
  std::vector<std::pair<std::string, std::string>> settings;
  std::string file;
  const char* parameters;  // null: none passed
};

TEST_F(StartupTest, ShellRequests) {
  const ShellCase cases[] = {
      {"open a configured file", "C:\\CD\\Start.exe",
       {{"FileToRun", "Docs\\Readme.pdf"}, {"ShellExec", "1"}}, "Docs\\Readme.pdf", nullptr},
      {"open the default target", "C:\\CD\\Start.exe", {{"ShellExec", "1"}},
       "C:\\CD\\..\\Installer\\Start.exe", nullptr},
      {"default target with a blank goes unquoted", "C:\\My CD\\Start.exe", {{"ShellExec", "$1"}},
       "C:\\My CD\\..\\Installer\\Start.exe", nullptr},
      {"folder beside the launcher", "C:\\CD\\Start.exe",
       {{"BrowseForFolder", "1"}, {"BrowsePath", "Docs"}}, "explorer.exe", "\"C:\\CD\\Docs\""},
      {"no folder given: the launcher's own", "C:\\CD\\Start.exe", {{"BrowseForFolder", "1"}},
       "explorer.exe", "\"C:\\CD\\\""},
      {"absolute folder is still prefixed", "C:\\CD\\Start.exe",
       {{"BrowseForFolder", "1"}, {"BrowsePath", "C:\\Docs"}}, "explorer.exe",
       "\"C:\\CD\\C:\\Docs\""},
      // Explorer splits its command line at commas and equals signs, and
      // reads a blank as part of a name only inside quotation marks.
      {"folder with blanks, a comma and an equals sign is one field", "C:\\Disc 1, Setup\\Start.exe",
       {{"BrowseForFolder", "1"}, {"BrowsePath", "Docs, English\\Version=2"}}, "explorer.exe",
       "\"C:\\Disc 1, Setup\\Docs, English\\Version=2\""},
      {"folder wins over ShellExec", "C:\\CD\\Start.exe",
       {{"FileToRun", "x.exe"}, {"ShellExec", "1"}, {"BrowseForFolder", "-1"},
        {"BrowsePath", "Docs"}},
       "explorer.exe", "\"C:\\CD\\Docs\""},
  };
  for (const ShellCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    DetectDoubleByteText();
    UseSettings(c.modulePath, c.settings);
    EXPECT_EQ(RunLauncher(), 0u);
    ASSERT_EQ(LaunchCalls(), 1u);
    ASSERT_EQ(Fake().launch.kind, FakeLaunch::Kind::ShellOpen);
    EXPECT_EQ(Fake().launch.file, c.file);
    EXPECT_EQ(Fake().launch.hasParameters, c.parameters != nullptr);
    if (c.parameters) {
      EXPECT_EQ(Fake().launch.parameters, c.parameters);
    }
  }
}

TEST_F(StartupTest, FlagTextsThatAreNoNumberLeaveTheFlagOff) {
  for (const char* text : {"yes", "true", "1.0", "1 ", "on"}) {
    SCOPED_TRACE(text);
    ResetFake();
    DetectDoubleByteText();
    UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "x.exe"}, {"ShellExec", text}});
    EXPECT_EQ(RunLauncher(), 0u);
    EXPECT_EQ(Fake().launch.kind, FakeLaunch::Kind::Process);
  }
}

// The settings file sits beside the launcher and bears its name, whatever the
// launcher is called; the whole path is used even past the usual 260 bytes.
TEST_F(StartupTest, SettingsFileFollowsTheLaunchersPath) {
  const std::string deep = "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
  struct Case {
    std::string modulePath;
    std::string settingsPath;
    std::string defaultTarget;
  };
  const Case cases[] = {
      {"D:\\Setup.exe", "D:\\Setup.ini", "D:\\..\\Installer\\Setup.exe"},
      {"C:\\CD\\Setup.en.exe", "C:\\CD\\Setup.en.ini", "C:\\CD\\..\\Installer\\Setup.en.exe"},
      {"\\\\server\\share\\Start.exe", "\\\\server\\share\\Start.ini",
       "\\\\server\\share\\..\\Installer\\Start.exe"},
      {deep + "\\Start.exe", deep + "\\Start.ini", deep + "\\..\\Installer\\Start.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.modulePath);
    ResetFake();
    DetectDoubleByteText();
    Fake().modulePath = c.modulePath;
    EXPECT_EQ(RunLauncher(), 0u);
    EXPECT_EQ(Fake().CallsNamed("FindFirstFileA").at(0), "FindFirstFileA(" + c.settingsPath + ")");
    EXPECT_EQ(Fake().launch.commandLine, c.defaultTarget);
  }
}

TEST_F(StartupTest, ModulePathFailureGoesOnWithTheEmptyPath) {
  Fake().moduleFileFails = true;
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(Fake().CallsNamed("FindFirstFileA").at(0), "FindFirstFileA(.ini)");
  EXPECT_EQ(Fake().launch.commandLine, "..\\Installer\\");
}

// The launcher's whole conversation with the platform in a typical run.
TEST_F(StartupTest, TypicalRunMakesOneRequestAndNothingElse) {
  Fake().modulePath = "D:\\Setup.exe";
  Fake().AddDirectory("D:\\..\\Installer");
  EXPECT_EQ(RunLauncher(), 0u);
  const std::vector<std::string> expected = {
      "GetModuleFileNameW(261)",
      "WideCharToMultiByte",
      // Relative names mean the launcher's folder, however it was started.
      "SetCurrentDirectoryA(D:\\)",
      // Did this launcher start itself, through whatever came between?
      "GetEnvironmentVariableA(START_LAUNCHER_CHAIN)",
      "FindFirstFileA(D:\\Setup.ini)",
      // Is the target the launcher itself?
      "SearchPathA(D:\\..\\Installer\\Setup.exe, \".exe\")",
      "SetEnvironmentVariableA(START_LAUNCHER_CHAIN)",
      "GetFileAttributesA(D:\\..\\Installer)",
      "CreateProcessA(\"D:\\..\\Installer\\Setup.exe\", \"D:\\..\\Installer\")",
  };
  EXPECT_EQ(Fake().calls, expected);
}

// Windows reads an unquoted command line one blank-separated prefix at a
// time, adds ".exe", and looks in the launcher's own folder first; the
// launcher never lets what it finds be itself.
TEST_F(StartupTest, NeverStartsItself) {
  struct Case {
    const char* name;
    std::string modulePath;
    std::vector<std::pair<std::string, std::string>> settings;  // none: no settings file
    std::vector<std::string> files;  // beside the launcher's own, which always exists
    std::string request;             // the command line or file; empty: nothing started
  };
  const Case cases[] = {
      {"the program meant, quoted, with its arguments", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start Here\\Install.exe /S"}}, {"C:\\CD\\Start Here\\Install.exe"},
       "\"Start Here\\Install.exe\" /S"},
      {"a renamed launcher and a lower-case folder", "C:\\CD\\Setup.exe",
       {{"FileToRun", "Setup Files\\setup.exe /S /v\"/qn\""}}, {"C:\\CD\\Setup Files\\setup.exe"},
       "\"Setup Files\\setup.exe\" /S /v\"/qn\""},
      {".exe added as Windows adds it", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start Here\\Install\t/S"}}, {"C:\\CD\\Start Here\\Install.exe"},
       "\"Start Here\\Install\"\t/S"},
      {"no other candidate exists", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start Here\\Install.exe /S"}}, {}, ""},
      {"the launcher by its own name", "C:\\CD\\Start.exe", {{"FileToRun", "Start.exe"}}, {}, ""},
      {"the launcher without .exe, in other letter case", "C:\\CD\\Start.exe",
       {{"FileToRun", "START /x"}}, {}, ""},
      {"the launcher through its parent folder", "C:\\CD\\Start.exe",
       {{"FileToRun", "..\\CD\\Start.exe /x"}}, {}, ""},
      {"the launcher quoted", "C:\\CD\\Start.exe", {{"FileToRun", "\"C:\\CD\\Start.exe\" /x"}},
       {}, ""},
      {"the launcher opened by the shell", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start.exe"}, {"ShellExec", "1"}}, {}, ""},
      {"the launcher as Explorer's folder", "C:\\CD\\Start.exe",
       {{"BrowseForFolder", "1"}, {"BrowsePath", "Start.exe"}}, {}, ""},
      {"the default target in a folder named Installer", "C:\\Installer\\Start.exe", {}, {}, ""},
      {"another program first: as written", "C:\\CD\\Autorun.exe",
       {{"FileToRun", "Start Here\\Install.exe /S"}},
       {"C:\\CD\\Start.exe", "C:\\CD\\Start Here\\Install.exe"}, "Start Here\\Install.exe /S"},
      {"a program in System32 after the launcher", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start cmd.exe /c x.bat"}}, {"C:\\Windows\\system32\\Start cmd.exe"},
       "\"Start cmd.exe\" /c x.bat"},
      {"a shell document of the launcher's base name", "C:\\CD\\Start.exe",
       {{"FileToRun", "Start"}, {"ShellExec", "1"}}, {"C:\\CD\\Start"}, "Start"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    DetectDoubleByteText();
    Fake().modulePath = c.modulePath;
    Fake().AddFile(c.modulePath);
    for (const std::string& file : c.files) Fake().AddFile(file);
    if (!c.settings.empty()) UseSettings(c.modulePath, c.settings);
    EXPECT_EQ(RunLauncher(), 0u);
    if (c.request.empty()) {
      EXPECT_EQ(LaunchCalls(), 0u);
      EXPECT_EQ(Fake().launch.kind, FakeLaunch::Kind::None);
      continue;
    }
    ASSERT_EQ(LaunchCalls(), 1u);
    EXPECT_EQ(Fake().launch.kind == FakeLaunch::Kind::Process ? Fake().launch.commandLine
                                                             : Fake().launch.file,
              c.request);
  }
}

// Another spelling of the launcher's own path (here the same folder through
// a second drive letter) is not seen as the launcher; the launcher it starts
// sees itself named and starts nothing, so the chain ends there.
TEST_F(StartupTest, AnotherSpellingOfItsPathEndsOneLauncherLater) {
  Fake().AddFile("C:\\CD\\Start.exe");
  Fake().AddFile("X:\\CD\\Start.exe");
  UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "X:\\CD\\Start.exe"}});
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(Fake().launch.commandLine, "X:\\CD\\Start.exe");
  std::string chain = Fake().environment["START_LAUNCHER_CHAIN"];

  ResetFake();
  DetectDoubleByteText();
  Fake().AddFile("X:\\CD\\Start.exe");
  Fake().environment["START_LAUNCHER_CHAIN"] = chain;
  UseSettings("X:\\CD\\Start.exe", {{"FileToRun", "X:\\CD\\Start.exe"}});
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(LaunchCalls(), 0u);
}

// A launcher that was started, however indirectly, by its own file makes no
// request: no chain can form through a batch file, a shortcut or a second
// name. What it starts learns which launchers came before.
TEST_F(StartupTest, StartedByItselfItStartsNothing) {
  struct Case {
    const char* name;
    std::string chain;  // empty: not set
    bool starts;
    std::string chainAfter;
  };
  const Case cases[] = {
      {"started from Explorer", "", true, "C:\\CD\\Start.exe"},
      {"started by another launcher", "D:\\Start.exe", true, "D:\\Start.exe>C:\\CD\\Start.exe"},
      {"started by itself", "C:\\CD\\Start.exe", false, "C:\\CD\\Start.exe"},
      {"started by itself through another", "c:\\cd\\START.EXE>D:\\Start.exe", false,
       "c:\\cd\\START.EXE>D:\\Start.exe"},
      {"a chain of others", "D:\\Start.exe>E:\\Start.exe", true,
       "D:\\Start.exe>E:\\Start.exe>C:\\CD\\Start.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    DetectDoubleByteText();
    Fake().AddFile("C:\\CD\\Start.exe");
    Fake().AddFile("D:\\Start.exe");
    Fake().AddFile("E:\\Start.exe");
    Fake().AddFile("C:\\CD\\Setup.exe");
    UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "Setup.exe"}});
    if (!c.chain.empty()) Fake().environment["START_LAUNCHER_CHAIN"] = c.chain;
    EXPECT_EQ(RunLauncher(), 0u);
    EXPECT_EQ(LaunchCalls(), c.starts ? 1u : 0u);
    // Refused before anything of the media is read.
    if (!c.starts) {
      EXPECT_TRUE(Fake().CallsNamed("FindFirstFileA").empty());
    }
    EXPECT_EQ(Fake().environment["START_LAUNCHER_CHAIN"], c.chainAfter);
  }
}

// Explorer opens only a folder, and its window must not refuse a later
// double-click on the launcher: the folder mode leaves no mark.
TEST_F(StartupTest, FolderModeLeavesNoMark) {
  UseSettings("C:\\CD\\Start.exe", {{"BrowseForFolder", "1"}, {"BrowsePath", "Docs"}});
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(LaunchCalls(), 1u);
  EXPECT_EQ(Fake().environment.count("START_LAUNCHER_CHAIN"), 0u);
}

// Relative names mean the launcher's folder, whatever folder it was started
// in; and every shell request has COM set up first.
TEST_F(StartupTest, RelativeNamesMeanTheLaunchersFolder) {
  Fake().currentFolder = "D:\\Somewhere else";
  Fake().AddDirectory("C:\\CD\\Tools");
  UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "Tools\\rec.exe /x"}});
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(Fake().currentFolder, "C:\\CD");
  EXPECT_EQ(Fake().launch.directory, "Tools");
  std::vector<std::string> calls = Fake().calls;
  auto folderSet = std::find(calls.begin(), calls.end(), "SetCurrentDirectoryA(C:\\CD)");
  auto started = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
    return call.rfind("CreateProcessA", 0) == 0;
  });
  EXPECT_LT(folderSet, started);
}

TEST(CommandLineSplitTest, CutsWhereWindowsCutsTheProgramFromItsArguments) {
  struct Case {
    const char* commandLine;
    const char* program;
    const char* arguments;
  };
  const Case cases[] = {
      {"Setup.exe", "Setup.exe", ""},
      {"Setup.exe /S", "Setup.exe", "/S"},
      {"Setup\\Setup.exe \t  /S /D=C:\\x y", "Setup\\Setup.exe", "/S /D=C:\\x y"},
      {"Setup.exe\t/S", "Setup.exe", "/S"},
      {"Setup.exe   ", "Setup.exe", ""},
      {"\"C:\\My Apps\\Setup.exe\" /S", "C:\\My Apps\\Setup.exe", "/S"},
      {"\"C:\\My Apps\\Setup.exe\"/S", "C:\\My Apps\\Setup.exe", "/S"},
      {"\"C:\\My Apps\\Setup.exe\"", "C:\\My Apps\\Setup.exe", ""},
      {"\"C:\\no closing mark /S", "C:\\no closing mark /S", ""},
      {"\"\" /S", "", "/S"},
      // Unquoted, the first blank ends the program, wherever the file is.
      {"C:\\My Apps\\Setup.exe /S", "C:\\My", "Apps\\Setup.exe /S"},
      {"Setup.exe /v\"/qn REBOOT=0\"", "Setup.exe", "/v\"/qn REBOOT=0\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    CommandLineParts parts = SplitCommandLine(c.commandLine);
    EXPECT_EQ(std::string(parts.program.bytes, parts.program.length), c.program);
    EXPECT_EQ(std::string(parts.arguments.bytes, parts.arguments.length), c.arguments);
  }
}

// A program whose manifest asks for administrator rights cannot be started
// by CreateProcessA (error 740); the shell can, after asking the user. Any
// other refusal starts nothing more.
TEST_F(StartupTest, OnlyAStartThatNeedsElevationGoesToTheShell) {
  struct Case {
    const char* name;
    std::string modulePath;
    std::string fileToRun;  // empty: the default target
    std::vector<std::string> directories;
    uint32_t processError;
    std::string shellCall;  // empty: none
  };
  const Case cases[] = {
      {"quoted program with arguments", "C:\\CD\\Start.exe",
       "\"C:\\CD\\Setup Files\\Setup.exe\" /S /v\"/qn\"", {"C:\\CD\\Setup Files"}, 740,
       "ShellExecuteExA(open, \"C:\\CD\\Setup Files\\Setup.exe\", \"/S /v\"/qn\"\", "
       "\"C:\\CD\\Setup Files\")"},
      {"bare name: no arguments, the launcher's directory", "C:\\CD\\Start.exe", "Setup.exe", {},
       740, "ShellExecuteExA(open, \"Setup.exe\", null, null)"},
      {"relative program in an existing folder", "C:\\CD\\Start.exe", "Setup\\Setup.exe /lang=en",
       {"Setup"}, 740, "ShellExecuteExA(open, \"Setup\\Setup.exe\", \"/lang=en\", \"Setup\")"},
      {"unquoted program with a blank: where Windows found it", "C:\\CD\\Autorun.exe",
       "Start Here\\Install.exe  /S", {"C:\\CD\\Start Here\\Install.exe"}, 740,
       "ShellExecuteExA(open, \"Start Here\\Install.exe\", \"/S\", null)"},
      {"default target with a blank, quoted by the launcher", "C:\\My CD\\Start.exe", "",
       {"C:\\My CD\\..\\Installer"}, 740,
       "ShellExecuteExA(open, \"C:\\My CD\\..\\Installer\\Start.exe\", null, "
       "\"C:\\My CD\\..\\Installer\")"},
      {"started", "C:\\CD\\Start.exe", "Setup.exe /S", {}, 0, ""},
      {"file not found", "C:\\CD\\Start.exe", "Setup.exe /S", {}, 2, ""},
      {"access denied", "C:\\CD\\Start.exe", "Setup.exe /S", {}, 5, ""},
      {"not a program", "C:\\CD\\Start.exe", "Manual.pdf", {}, 193, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetFake();
    DetectDoubleByteText();
    Fake().modulePath = c.modulePath;
    if (!c.fileToRun.empty()) UseSettings(c.modulePath, {{"FileToRun", c.fileToRun}});
    for (const std::string& path : c.directories) {
      if (path.size() > 4 && path.substr(path.size() - 4) == ".exe") {
        Fake().AddFile(path);
      } else {
        Fake().AddDirectory(path);
      }
    }
    Fake().processError = c.processError;
    EXPECT_EQ(RunLauncher(), 0u);
    EXPECT_EQ(Fake().CallsNamed("CreateProcessA").size(), 1u);
    std::vector<std::string> shellCalls = Fake().CallsNamed("ShellExecute");
    if (c.shellCall.empty()) {
      EXPECT_TRUE(shellCalls.empty()) << shellCalls.front();
    } else {
      EXPECT_EQ(shellCalls, std::vector<std::string>{c.shellCall});
      EXPECT_EQ(Fake().calls.back(), c.shellCall);  // right after the refused start
    }
    EXPECT_TRUE(Fake().CallsNamed("MessageBoxA").empty());
  }
}

// Memory running out outside the settings load ends the launcher with the
// error box and exit code 1, and never after a launch: each allocation of a
// run is made to fail in turn.
TEST_F(StartupTest, MemoryExhaustedAnywhereEndsEitherWithOneLaunchOrWithTheBox) {
  bool sawBox = false;
  bool sawFallback = false;
  for (long failing = 0; failing < 40; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing));
    ResetFake();
    DetectDoubleByteText();
    UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "Setup.exe"}, {"ShellExec", "0x0"}});
    Fake().failingAllocation = failing;
    unsigned exitCode = RunLauncher();
    if (exitCode == 1) {
      sawBox = true;
      EXPECT_EQ(LaunchCalls(), 0u);
      EXPECT_EQ(Fake().boxTitle, "Application Error");
      EXPECT_EQ(Fake().boxText.rfind("Exception OutOfMemory in module Start.exe at ", 0), 0u)
          << Fake().boxText;
      EXPECT_EQ(Fake().boxText.substr(Fake().boxText.size() - 19), ".\r\nOut of memory.\r\n");
    } else {
      ASSERT_EQ(exitCode, 0u);
      EXPECT_EQ(LaunchCalls(), 1u);
      EXPECT_TRUE(Fake().boxText.empty());
      // A failure inside the load falls back to the default target.
      if (Fake().launch.commandLine != "Setup.exe") {
        sawFallback = true;
        EXPECT_EQ(Fake().launch.commandLine, "C:\\CD\\..\\Installer\\Start.exe");
      }
    }
    EXPECT_EQ(Fake().liveBlocks, 0);
  }
  EXPECT_TRUE(sawBox);
  EXPECT_TRUE(sawFallback);
}

TEST_F(StartupTest, FaultDuringTheLoadStartsTheDefaultTarget) {
  UseSettings("C:\\CD\\Start.exe", {{"FileToRun", "Setup.exe"}, {"ShellExec", "1"}});
  Fake().faultingKey = "BrowsePath";
  EXPECT_EQ(RunLauncher(), 0u);
  EXPECT_EQ(Fake().launch.kind, FakeLaunch::Kind::ShellOpen);
  EXPECT_EQ(Fake().launch.file, "C:\\CD\\..\\Installer\\Start.exe");
}

// The box's text for each kind of failure, whole.
TEST_F(StartupTest, FatalFaultBoxForEachKind) {
  struct Case {
    FaultRecord fault;
    std::string kindAndPlace;
    std::string message;
  };
  const std::string zeros(sizeof(size_t) * 2 - 4, '0');
  const Case cases[] = {
      {{0xC0000005, reinterpret_cast<void*>(0x1234), 2, {0, 0x10}}, "AccessViolation",
       "Access violation reading address " + zeros + "0010."},
      {{0xC0000005, reinterpret_cast<void*>(0x1234), 2, {1, 0xBEEF}}, "AccessViolation",
       "Access violation writing address " + zeros + "BEEF."},
      {{0xC0000005, reinterpret_cast<void*>(0x1234), 2, {8, 0x4000}}, "AccessViolation",
       "Access violation executing address " + zeros + "4000."},
      {{0xC0000006, reinterpret_cast<void*>(0x1234), 3, {0, 0x2000}}, "InPageError",
       "In-page error reading address " + zeros + "2000."},
      {{0xC00000FD, reinterpret_cast<void*>(0x1234), 2, {1, 0x10}}, "StackOverflow",
       "Stack overflow."},
      {{0xC0000094, reinterpret_cast<void*>(0x1234), 0, {0, 0}}, "IntegerDivideByZero",
       "Integer division by zero."},
      {{0xC000001D, reinterpret_cast<void*>(0x1234), 0, {0, 0}}, "IllegalInstruction",
       "Illegal instruction."},
      {{0xC0000096, reinterpret_cast<void*>(0x1234), 0, {0, 0}}, "PrivilegedInstruction",
       "Privileged instruction."},
      {{0xC0000409, reinterpret_cast<void*>(0x1234), 0, {0, 0}}, "SystemException",
       "System exception C0000409."},
  };
  InstallFaultHandlers(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kindAndPlace + " " + c.message);
    Fake().boxText.clear();
    unsigned exitCode = 0;
    try {
      ReportFatalFault(c.fault);
    } catch (const ProcessEnded& ended) {
      exitCode = ended.exitCode;
    }
    EXPECT_EQ(exitCode, 1u);
    EXPECT_EQ(Fake().boxTitle, "Application Error");
    EXPECT_EQ(Fake().boxText, "Exception " + c.kindAndPlace + " in module Start.exe at " + zeros +
                                  "1234.\r\n" + c.message + "\r\n");
    // Told to a debugger first, so that a headless run says why too.
    EXPECT_EQ(Fake().debugText, Fake().boxText);
  }
}

TEST(FailureTextTest, Forms) {
  struct Case {
    const char* message;
    std::string tail;
  };
  const Case cases[] = {
      {"Out of memory", "Out of memory.\r\n"},
      {"Already ends.", "Already ends.\r\n"},
      {"", "\r\n"},
  };
  const std::string offset(sizeof(size_t) * 2 - 4, '0');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    char buffer[200];
    size_t length = FormatFailureText(buffer, sizeof buffer, "OutOfMemory", "Start.exe", 0x1A2F,
                                      c.message);
    EXPECT_EQ(std::string(buffer, length),
              "Exception OutOfMemory in module Start.exe at " + offset + "1A2F.\r\n" + c.tail);
  }
}

TEST(FailureTextTest, CutToTheBufferAndStillTerminated) {
  char buffer[16];
  size_t length = FormatFailureText(buffer, sizeof buffer, "OutOfMemory", "Start.exe", 0, "x");
  EXPECT_EQ(length, 15u);
  EXPECT_EQ(std::string(buffer), "Exception OutOf");
}

}  // namespace
