// What Start.exe would do with a media folder, worked out with the
// launcher's own code (its paths, its integer rules and its start-up
// decision), and what is likely to go wrong.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "findings.h"
#include "media_access.h"

enum class SettingsState { Read, Missing, Directory, OutsideDosDates, Unknown };
enum class Existence { Yes, No, Unknown };

/// One thing the checker has to say. `code` is its stable identifier for
/// scripts, from the catalogue; `message` is for people and names the fix
/// where there is one.
struct Finding {
  FindingCode id = FindingCode::TargetMissing;
  std::string code;
  Severity severity = Severity::Warning;
  std::string message;
};

struct SettingValue {
  const char* key = "";
  bool flag = false;        // ShellExec and BrowseForFolder
  bool present = false;     // the key is in the section
  std::string text;         // as the launcher reads it
  bool isNumber = false;    // flags: the text is an integer
  int32_t number = 0;       // flags: its value
  bool on = false;          // flags: the result
  bool cut = false;         // the value was longer than 2047 bytes
  bool quotedInFile = false;  // written in a pair of quotation marks that the reader removed
};

struct CheckReport {
  std::string launcherPath;  // the launcher's Windows path
  std::string settingsPath;
  SettingsState settingsState = SettingsState::Missing;
  SettingValue values[4];  // FileToRun, ShellExec, BrowseForFolder, BrowsePath

  std::string mode;       // "FolderBrowse", "ShellOpen" or "ProcessStart"
  std::string call;       // "ShellExecuteA" or "CreateProcessA"
  std::string file;       // ShellExecuteA's file
  bool hasParameters = false;
  std::string parameters;  // ShellExecuteA's parameters
  std::string commandLine;                 // CreateProcessA's command line
  bool hasCurrentDirectory = false;        // false: the launcher's own
  std::string currentDirectory;            // CreateProcessA's current directory
  std::string targetDirectory;             // the program's folder, whether passed or not
  bool usesDefaultTarget = false;

  std::string target;  // the program, file or folder the request names
  Existence targetExists = Existence::Unknown;

  /// The target's manifest level when Windows will ask for administrator
  /// rights ("requireAdministrator" or "highestAvailable"); empty otherwise.
  std::string elevation;

  std::vector<Finding> findings;

  bool CannotWork() const { return Has(Severity::Error); }
  bool Has(Severity severity) const {
    for (const Finding& finding : findings) {
      if (finding.severity == severity) return true;
    }
    return false;
  }
  /// 0: works as configured; 1: works, with warnings; 2: cannot work.
  int ExitCode() const { return CannotWork() ? 2 : Has(Severity::Warning) ? 1 : 0; }
};

/// Checks the launcher at `launcherPath` (a Windows path; its settings file is
/// found beside it by its name). `longPath`: the launcher's long path in
/// UTF-8 (on Windows `launcherPath` is the form the launcher itself takes,
/// which may spell a folder in ASCII through its short name).
CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media,
                        const std::string& longPath);
/// The same, for a path whose bytes show its characters as they are.
CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media);

/// The version of the JSON report's layout (docs/startcheck.schema.json); it
/// changes whenever a key does.
constexpr int kReportSchemaVersion = 2;

/// The report for people; findings wrap at blanks to `width` columns (0: no
/// wrapping, as for a file or a pipe).
std::string FormatReport(const CheckReport& report, size_t width = 0);
/// The report as one JSON object, in UTF-8.
std::string FormatReportJson(const CheckReport& report);
/// A usage error as a JSON object, for scripts that asked for JSON.
std::string FormatUsageErrorJson(const std::string& message);
