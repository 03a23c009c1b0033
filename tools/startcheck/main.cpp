// startcheck: what will Start.exe do here? Runs the launcher's own decision
// code on a media folder and says what it would start, and what may go wrong.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "check.h"

#ifdef _WIN32
#include "paths/double_byte_text.h"
#include "paths/module_path.h"
#include "platform/windows/windows_api.h"
// After <windows.h>, which it needs.
#include <shellapi.h>
#include "windows_media.h"
#else
#include "host_media.h"
#endif

namespace {

int Usage(const char* message) {
  fprintf(stderr,
          "%s\n"
          "usage: startcheck LAUNCHER_PATH [--as WINDOWS_PATH] [--json]\n"
          "  LAUNCHER_PATH  the launcher's file on the media, present or planned; its\n"
          "                 settings file is found beside it by its name\n"
          "  --as PATH      the launcher's Windows path on the media (E:\\Setup.exe);\n"
          "                 without it, the path Wine would give it (Z:\\...)\n"
          "  --json         one JSON object instead of text\n"
          "exit code: 0 works as configured, 1 works with warnings, 2 cannot work,\n"
          "           3 usage\n",
          message);
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  std::string launcher, windowsPath;
  [[maybe_unused]] int launcherIndex = 0;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "--as" && i + 1 < argc) {
      windowsPath = argv[++i];
    } else if (argument == "--help" || argument == "-h") {
      return Usage("startcheck: what will the launcher do here?");
    } else if (launcher.empty() && argument.rfind("--", 0) != 0) {
      launcher = argument;
      launcherIndex = i;
    } else {
      return Usage(("startcheck: unexpected argument " + argument).c_str());
    }
  }
  if (launcher.empty()) return Usage("startcheck: no LAUNCHER_PATH given");

#ifdef _WIN32
  DetectDoubleByteText();
  // The path as the launcher would take its own: from the wide command line,
  // so that a folder the ANSI code page cannot spell is reached by its short
  // name, as the launcher reaches it.
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (!wide || launcherIndex >= wideCount) return Usage("startcheck: bad LAUNCHER_PATH");
  static WCHAR full[32768];
  DWORD length = GetFullPathNameW(wide[launcherIndex], 32768, full, nullptr);
  if (length == 0 || length >= 32768) return Usage("startcheck: bad LAUNCHER_PATH");
  bool outsideAscii = false;
  for (DWORD i = 0; i < length; ++i) outsideAscii = outsideAscii || full[i] >= 0x80;
  Text ansiPath;
  if (!AnsiFormOfPath(reinterpret_cast<const char16_t*>(full), length, ansiPath)) return 3;
  if (windowsPath.empty()) windowsPath.assign(ansiPath.CString(), ansiPath.Length());
  WindowsMedia media;
#else
  char* resolved = realpath(launcher.c_str(), nullptr);
  std::string hostPath;
  if (resolved) {
    hostPath = resolved;
    free(resolved);
  } else {
    // A planned launcher: its folder must exist.
    std::string folder = launcher.find('/') == std::string::npos
                             ? "."
                             : launcher.substr(0, launcher.find_last_of('/'));
    char* folderPath = realpath(folder.empty() ? "/" : folder.c_str(), nullptr);
    if (!folderPath) return Usage("startcheck: the launcher's folder does not exist");
    hostPath = std::string(folderPath) + "/" + launcher.substr(launcher.find_last_of('/') + 1);
    free(folderPath);
  }
  if (windowsPath.empty()) {
    windowsPath = "Z:" + hostPath;
    for (char& byte : windowsPath) byte = byte == '/' ? '\\' : byte;
  }
  size_t cut = windowsPath.find_last_of("\\:");
  if (windowsPath.size() < 3 || windowsPath[1] != ':' || cut == std::string::npos) {
    return Usage("startcheck: --as wants a full Windows path, such as E:\\Setup.exe");
  }
  HostMedia media(windowsPath.substr(0, cut + 1), hostPath.substr(0, hostPath.find_last_of('/')));
#endif

#ifdef _WIN32
  CheckReport report = CheckLaunch(windowsPath, media, outsideAscii);
#else
  CheckReport report = CheckLaunch(windowsPath, media);
#endif
  fputs((json ? FormatReportJson(report) : FormatReport(report)).c_str(), stdout);
  return report.ExitCode();
}
