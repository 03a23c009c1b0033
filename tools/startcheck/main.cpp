// startcheck: what will Start.exe do here? Runs the launcher's own decision
// code on a media folder and says what it would start, and what may go wrong.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "check.h"
#include "code_page.h"

#ifdef _WIN32
#include "paths/double_byte_text.h"
#include "paths/module_path.h"
#include "platform/windows/windows_api.h"
// After <windows.h>, which it needs.
#include <shellapi.h>
#include "windows_media.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>

#include "host_media.h"
#include "paths/double_byte_text.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "usage: startcheck LAUNCHER_PATH [--as WINDOWS_PATH] [--codepage N] [--json]\n"
    "       startcheck --help | --version   (also /? /h /help /version)\n"
    "  LAUNCHER_PATH  the launcher's file on the media, present or planned (its\n"
    "                 settings file is found beside it by its name), or the media\n"
    "                 folder that holds it\n"
    "  --as PATH      the launcher's Windows path on the media (E:\\Setup.exe);\n"
    "                 without it, the path it has here (Z:\\... under Wine)\n"
    "  --codepage N   the ANSI code page of the Windows the media is for (1252,\n"
    "                 932, ...): names in the settings file are read in it; the\n"
    "                 system's own on Windows; 1252 unless given elsewhere\n"
    "  --json         one JSON object instead of text (docs/startcheck.md)\n"
    "exit code: 0 works as configured, 1 works with warnings, 2 cannot work,\n"
    "           3 wrong usage\n";

bool json = false;

std::string Lower(std::string text);

// The switches people on Windows type, beside the ones this checker spells
// its own way.
bool IsHelpSwitch(const std::string& argument) {
  for (const char* name : {"--help", "-h", "-?", "/?", "/h", "/help"}) {
    if (Lower(argument) == name) return true;
  }
  return false;
}
bool IsVersionSwitch(const std::string& argument) {
  return Lower(argument) == "--version" || Lower(argument) == "/version";
}
// An option this checker does not know: "--x", "-x", and on Windows "/x",
// where a path never starts with "/".
bool LooksLikeOption(const std::string& argument) {
#ifdef _WIN32
  if (argument.size() > 1 && argument[0] == '/') return true;
#endif
  return argument.size() > 1 && argument[0] == '-';
}

constexpr const char* kNotAFullPath = "--as wants a full Windows path, such as E:\\Setup.exe";

// The folder of a full Windows path ("E:\\CD\\" of "E:\\CD\\Start.exe"), with its
// closing "\\"; false when the path names no drive.
bool FolderOfFullPath(const std::string& path, std::string& folder) {
  size_t cut = path.find_last_of("\\:");
  if (path.size() < 3 || path[1] != ':' || cut == std::string::npos) return false;
  folder = path.substr(0, cut + 1);
  return true;
}

int UsageError(const std::string& message) {
  if (json) {
    fputs(FormatUsageErrorJson(message).c_str(), stdout);
  } else {
    fprintf(stderr, "startcheck: %s\n%s", message.c_str(), kUsage);
  }
  return 3;
}

std::string Lower(std::string text) {
  for (char& byte : text) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
  }
  return text;
}

std::string Shown(const fs::path& path) { return path.u8string(); }

// The one launcher in a media folder: the program that has a settings file
// of its own name beside it, else Start.exe. Never a made-up one.
bool LauncherInFolder(const fs::path& folder, fs::path& launcher, std::string& problem) {
  std::vector<fs::path> withSettings;
  fs::path start;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::string name = Lower(entry.path().filename().u8string());
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".exe") != 0) continue;
    if (name == "start.exe") start = entry.path();
    fs::path settings = entry.path();
    settings.replace_extension(".ini");
    std::error_code missing;
    if (fs::is_regular_file(settings, missing)) withSettings.push_back(entry.path());
  }
  std::sort(withSettings.begin(), withSettings.end());
  if (error) {
    problem = "cannot read the folder " + Shown(folder);
    return false;
  }
  if (withSettings.size() == 1) {
    launcher = withSettings.front();
    return true;
  }
  if (withSettings.empty() && !start.empty()) {
    launcher = start;
    return true;
  }
  if (withSettings.empty()) {
    problem = Shown(folder) + " holds no launcher (a .exe with a settings file of its name, or "
              "Start.exe): name the launcher's planned file, such as " +
              Shown(folder / "Start.exe");
    return false;
  }
  problem = Shown(folder) + " holds several launchers with settings files; name one:";
  for (const fs::path& candidate : withSettings) problem += " " + Shown(candidate.filename());
  return false;
}

#ifdef _WIN32
// Started by a double-click, or with a launcher dropped on it, the checker
// has a console window of its own, which closes the moment it ends: nobody
// could read the report. Then, and only then (not from a prompt or a
// script, not for JSON, not with its input redirected), it waits for a key.
void WaitForKeyInOwnConsole() {
  DWORD processes[2];
  if (json || GetConsoleProcessList(processes, 2) != 1) return;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) return;
  fputs("\nPress any key to close this window.\n", stdout);
  fflush(stdout);
  FlushConsoleInputBuffer(input);
  INPUT_RECORD record;
  DWORD read = 0;
  while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}
#endif

// The columns of the terminal the report goes to, less one, so that a full
// line does not wrap by itself; 0 for a file or a pipe, which get whole lines.
size_t ConsoleWidth() {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &screen)) return 0;
  int columns = screen.srWindow.Right - screen.srWindow.Left + 1;
#else
  int columns = 0;
  if (const char* given = getenv("COLUMNS")) columns = atoi(given);
  winsize size = {};
  if (columns <= 0 && isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
    columns = size.ws_col;
  }
#endif
  return columns > 20 ? static_cast<size_t>(columns - 1) : 0;
}

template <typename Character>
int Run(int argc, Character** wideArguments) {
  std::vector<fs::path> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(wideArguments[i]);
  for (const fs::path& argument : arguments) json = json || argument == "--json";

  fs::path launcher;
  std::string windowsPath;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i].u8string();
    if (argument == "--json") continue;
    if (IsHelpSwitch(argument)) {
      fputs(kUsage, stdout);
      return 0;
    }
    if (IsVersionSwitch(argument)) {
      printf("startcheck %s\n", START_VERSION_TEXT);
      return 0;
    }
    if (argument == "--as") {
      if (i + 1 == arguments.size()) return UsageError("--as wants a Windows path");
      windowsPath = arguments[++i].u8string();
    } else if (argument == "--codepage") {
      std::string number = i + 1 < arguments.size() ? arguments[++i].u8string() : "";
      char* end = nullptr;
      unsigned long codePage = strtoul(number.c_str(), &end, 10);
      if (number.empty() || *end || !SetCheckerCodePage(static_cast<unsigned>(codePage))) {
        return UsageError("--codepage " + number + ": not a code page this checker reads" +
#ifdef _WIN32
                          " (on Windows, the system's own: " +
                          std::to_string(CheckerCodePage()) + ")"
#else
                          ""
#endif
        );
      }
    } else if (LooksLikeOption(argument)) {
      return UsageError("unknown option " + argument);
    } else if (launcher.empty()) {
      launcher = arguments[i];
    } else {
      // "E:\Acme Suite\Start.exe" typed without quotation marks arrives in
      // pieces.
      std::error_code missing;
      fs::path joined = launcher.u8string() + " " + argument;
      bool pieces = !fs::exists(launcher, missing) &&
                    (fs::exists(joined, missing) || fs::exists(joined.parent_path(), missing));
      return UsageError("unexpected argument " + argument +
                        (pieces ? ": put a path with a blank in quotation marks, \"" +
                                      joined.u8string() + "\""
                                : std::string()));
    }
  }
  if (launcher.empty()) return UsageError("no LAUNCHER_PATH given");

  // The settings file named instead of its launcher: the launcher of that
  // name is the one that reads it.
  if (Lower(launcher.extension().u8string()) == ".ini") {
    fs::path program = launcher;
    program.replace_extension(".exe");
    std::error_code missing;
    if (!fs::is_regular_file(program, missing)) {
      return UsageError(Shown(launcher) + " is a settings file: name the launcher that reads "
                        "it, " + Shown(program.filename()) + " beside it (present or planned)");
    }
    launcher = program;
  }

  std::error_code error;
  if (fs::is_directory(launcher, error)) {
    std::string problem;
    if (!LauncherInFolder(launcher, launcher, problem)) return UsageError(problem);
  }
  fs::path full = fs::absolute(launcher, error);
  if (error || !fs::is_directory(full.parent_path(), error)) {
    return UsageError("the launcher's folder " + Shown(full.parent_path()) + " does not exist");
  }

  std::optional<CheckReport> checked;  // made in place by the one check below
#ifdef _WIN32
  DetectDoubleByteText();
  // The path as the launcher would take its own, so that a folder the ANSI
  // code page cannot spell is reached by its short name, as the launcher
  // reaches it.
  std::wstring wide = full.wstring();
  std::string longPath = full.u8string();
  Text ansiPath;
  if (!AnsiFormOfPath(reinterpret_cast<const char16_t*>(wide.c_str()), wide.size(), ansiPath)) {
    return 3;
  }
  std::string realPath(ansiPath.CString(), ansiPath.Length());
  if (windowsPath.empty()) {
    WindowsMedia media;
    checked.emplace(CheckLaunch(realPath, media, longPath));
  } else {
    bool exact = true;
    std::string plannedPath = Utf8ToAnsi(windowsPath, exact);
    for (char& byte : plannedPath) byte = byte == '/' ? '\\' : byte;
    std::string plannedFolder;
    if (!FolderOfFullPath(plannedPath, plannedFolder)) return UsageError(kNotAFullPath);
    WindowsMedia media(plannedFolder,
                       realPath.substr(0, realPath.find_last_of('\\') + 1));
    checked.emplace(CheckLaunch(plannedPath, media, windowsPath));
  }
#else
  DetectDoubleByteText();
  // The launcher will hold its path in the ANSI code page; this host names
  // files in UTF-8.
  std::string hostPath = full.lexically_normal().string();
  std::string longPath = windowsPath.empty() ? "Z:" + hostPath : windowsPath;
  for (char& byte : longPath) byte = byte == '/' ? '\\' : byte;
  bool exact = true;
  windowsPath = Utf8ToAnsi(longPath, exact);
  std::string windowsFolder;
  if (!FolderOfFullPath(windowsPath, windowsFolder)) return UsageError(kNotAFullPath);
  HostMedia media(windowsFolder, hostPath.substr(0, hostPath.find_last_of('/')));
  checked.emplace(CheckLaunch(windowsPath, media, longPath));
#endif
  const CheckReport& report = *checked;
  if (json) {
    fputs(FormatReportJson(report).c_str(), stdout);
  } else {
#ifdef _WIN32
    fputs(FormatReport(report, ConsoleWidth()).c_str(), stdout);  // in the console's own code page
#else
    fputs(AnsiToUtf8(FormatReport(report, ConsoleWidth())).c_str(), stdout);
#endif
  }
  return report.ExitCode();
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** arguments) {
  int code = Run(argc, arguments);
  WaitForKeyInOwnConsole();
  return code;
}
#else
int main(int argc, char** arguments) { return Run(argc, arguments); }
#endif
