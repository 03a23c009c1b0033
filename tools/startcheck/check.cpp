#include "check.h"

#include <stdint.h>

#include <stdio.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "paths/path_names.h"
#include "profile_reader.h"
#include "program_image.h"
#include "settings/integer_text.h"
#include "settings/launch_settings.h"
#include "settings/settings_reader.h"
#include "startup/launch_request.h"

namespace {

const char* const kKeys[4] = {"FileToRun", "ShellExec", "BrowseForFolder", "BrowsePath"};

std::string Str(const TextView& view) { return std::string(view.bytes, view.length); }
std::string Str(const Text& text) { return std::string(text.CString(), text.Length()); }
TextView View(const std::string& text) { return TextView(text.data(), text.size()); }

std::string Lower(std::string text) {
  for (char& byte : text) byte = static_cast<char>(std::tolower(static_cast<unsigned char>(byte)));
  return text;
}

bool SameName(const std::string& left, const std::string& right) {
  return Lower(left) == Lower(right);
}

// Letters to change, insert or delete to turn one name into the other.
size_t EditDistance(const std::string& left, const std::string& right) {
  std::vector<size_t> row(right.size() + 1);
  for (size_t j = 0; j <= right.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= left.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= right.size(); ++j) {
      size_t above = row[j];
      bool same = std::tolower(static_cast<unsigned char>(left[i - 1])) ==
                  std::tolower(static_cast<unsigned char>(right[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[right.size()];
}

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
}

// A relative path is looked for beside the launcher, as Windows looks for a
// relative program first in the launcher's own folder (and as Explorer and
// autorun make that folder the current one).
std::string BesideLauncher(const std::string& launcherPath, const std::string& path) {
  if (IsAbsolute(path)) return path;
  return Str(DirectoryPart(View(launcherPath))) + path;
}

bool HasProgramExtension(const std::string& path) {
  std::string extension = Lower(Str(ExtensionPart(View(path))));
  return extension == ".exe" || extension == ".com" || extension == ".bat" ||
         extension == ".cmd";
}

struct ProgramLookup {
  std::string program;    // the program Windows would start, or its best guess
  Existence exists = Existence::No;
  bool blankInProgram = false;  // unquoted, and the program's own path has a blank
};

// How Windows finds the program in a command line without an application
// name: the text in leading quotation marks, or else the first run of text up
// to a blank that names a file, trying each blank from the left (and ".exe"
// where the name has no extension).
ProgramLookup FindProgram(const std::string& launcherPath, const std::string& commandLine,
                          MediaAccess& media) {
  ProgramLookup lookup;
  std::vector<std::string> candidates;
  bool quoted = !commandLine.empty() && commandLine[0] == '"';
  if (quoted) {
    size_t close = commandLine.find('"', 1);
    candidates.push_back(commandLine.substr(1, close == std::string::npos ? std::string::npos
                                                                          : close - 1));
  } else {
    for (size_t blank = commandLine.find(' '); blank != std::string::npos;
         blank = commandLine.find(' ', blank + 1)) {
      candidates.push_back(commandLine.substr(0, blank));
    }
    candidates.push_back(commandLine);
  }
  bool unknown = false;
  for (const std::string& candidate : candidates) {
    std::vector<std::string> names = {candidate};
    if (ExtensionPart(View(candidate)).Empty()) names.insert(names.begin(), candidate + ".exe");
    for (const std::string& name : names) {
      EntryFacts facts = media.Find(BesideLauncher(launcherPath, name));
      if (facts.kind == EntryKind::File) {
        lookup.program = BesideLauncher(launcherPath, name);
        lookup.exists = Existence::Yes;
        lookup.blankInProgram = !quoted && candidate.find(' ') != std::string::npos;
        return lookup;
      }
      if (facts.kind == EntryKind::Unknown) unknown = true;
    }
  }
  // Nothing found: name the first candidate that looks like a program.
  std::string guess = candidates.front();
  for (const std::string& candidate : candidates) {
    if (HasProgramExtension(candidate)) {
      guess = candidate;
      break;
    }
  }
  lookup.program = BesideLauncher(launcherPath, guess);
  lookup.exists = unknown ? Existence::Unknown : Existence::No;
  lookup.blankInProgram = !quoted && guess.find(' ') != std::string::npos;
  return lookup;
}

void ReadValues(CheckReport& report, MediaAccess& media) {
  std::string bytes;
  std::vector<ProfileEntry> entries;
  if (media.ReadBytes(report.settingsPath, bytes)) entries = ListProfileEntries(bytes);

  for (int i = 0; i < 4; ++i) {
    SettingValue& value = report.values[i];
    value.text = media.ReadSetting(report.settingsPath, "Information", kKeys[i]);
    for (const ProfileEntry& entry : entries) {
      if (SameName(entry.section, "Information") && SameName(entry.key, kKeys[i])) {
        value.present = true;
        value.cut = entry.value.size() > kLongestSettingText;
        break;
      }
    }
    if (!value.flag) continue;
    // The launcher's own conversion; a flag that is no number stays off.
    if (!IntegerFromSettingText(View(value.text), value.number, value.isNumber)) continue;
    value.on = value.isNumber && value.number != 0;
  }

  for (const ProfileEntry& entry : entries) {
    bool information = SameName(entry.section, "Information");
    for (const char* key : kKeys) {
      if (!information && SameName(entry.key, key)) {
        report.warnings.push_back(std::string(key) + " is in the section [" + entry.section +
                                  "] (line " + std::to_string(entry.line) +
                                  "): only [Information] is read.");
      }
    }
    if (!information) continue;
    bool known = false;
    const char* closest = nullptr;
    for (const char* key : kKeys) {
      if (SameName(entry.key, key)) known = true;
      if (EditDistance(entry.key, key) <= 2) closest = key;
    }
    if (!known && closest) {
      report.warnings.push_back("\"" + entry.key + "\" (line " + std::to_string(entry.line) +
                                ") is not read: did you mean " + closest + "?");
    }
  }

  for (const SettingValue& value : report.values) {
    if (value.cut) {
      report.warnings.push_back(std::string(value.key) +
                                " is longer than 2047 bytes: the launcher reads only the first "
                                "2047.");
    }
    if (value.flag && !value.isNumber && !value.text.empty()) {
      report.warnings.push_back(std::string(value.key) + " = \"" + value.text +
                                "\" is not a number: the flag stays off. Use 1 or 0.");
    }
  }
}

// An installer's own program lies at its start; the archive it carries
// follows, and need not be read.
constexpr size_t kProgramHeadBytes = size_t{16} * 1024 * 1024;

// A program whose manifest asks for administrator rights cannot be started
// as a new process (error 740): the launcher hands it to the shell, and
// Windows asks for the rights as the media is opened.
void WarnOfElevation(CheckReport& report, MediaAccess& media) {
  std::string bytes;
  if (report.targetExists != Existence::Yes || !media.ReadBytes(report.target, bytes,
                                                                kProgramHeadBytes)) {
    return;
  }
  ProgramImage image = ReadProgramImage(bytes);
  if (!AsksForAdministratorRights(image)) return;
  report.elevation = image.executionLevel;
  std::string how = report.mode == "ProcessStart"
                        ? "Windows will not start it as a new process, so the launcher hands it, "
                          "with its arguments, to the shell, and "
                        : "";
  report.warnings.push_back(
      "\"" + report.target + "\" asks for administrator rights (its manifest: level=\"" +
      image.executionLevel + "\"): " + how + "Windows asks for the rights when the media is " +
      "opened. A user who cannot give them gets nothing started.");
}

void DescribeRequest(CheckReport& report, const LaunchRequest& request, MediaAccess& media) {
  report.usesDefaultTarget = request.usesDefaultTarget;
  switch (request.mode) {
    case LaunchMode::FolderBrowse: {
      report.mode = "FolderBrowse";
      report.call = "ShellExecuteA";
      report.file = Str(request.file);
      report.hasParameters = true;
      report.parameters = Str(request.parameters);
      // The folder itself, without the quotation marks around it.
      report.target = report.parameters.substr(1, report.parameters.size() - 2);
      EntryFacts facts = media.Find(report.target);
      report.targetExists = facts.kind == EntryKind::Directory ? Existence::Yes
                            : facts.kind == EntryKind::Unknown ? Existence::Unknown
                                                               : Existence::No;
      std::string browsePath = report.values[3].text;
      if (IsAbsolute(browsePath)) {
        report.warnings.push_back("BrowsePath \"" + browsePath +
                                  "\" is put after the launcher's folder all the same: the "
                                  "folder opened is \"" + report.parameters +
                                  "\". Give a path relative to the launcher's folder.");
      }
      return;
    }
    case LaunchMode::ShellOpen: {
      report.mode = "ShellOpen";
      report.call = "ShellExecuteA";
      report.file = Str(request.file);
      report.target = BesideLauncher(report.launcherPath, report.file);
      EntryFacts facts = media.Find(report.target);
      report.targetExists = facts.kind == EntryKind::Unknown ? Existence::Unknown
                            : facts.kind == EntryKind::Missing ? Existence::No
                                                               : Existence::Yes;
      WarnOfElevation(report, media);
      return;
    }
    case LaunchMode::ProcessStart:
      break;
  }
  report.mode = "ProcessStart";
  report.call = "CreateProcessA";
  report.commandLine = Str(request.commandLine);
  report.targetDirectory = Str(request.targetDirectory);
  if (!report.targetDirectory.empty()) {
    EntryFacts facts = media.Find(BesideLauncher(report.launcherPath, report.targetDirectory));
    report.hasCurrentDirectory = facts.kind == EntryKind::Directory;
    if (report.hasCurrentDirectory) report.currentDirectory = report.targetDirectory;
  }
  ProgramLookup lookup = FindProgram(report.launcherPath, report.commandLine, media);
  report.target = lookup.program;
  report.targetExists = lookup.exists;
  WarnOfElevation(report, media);
  if (lookup.blankInProgram) {
    report.warnings.push_back(
        "FileToRun is not quoted and its program's path has a blank: Windows tries \"" +
        report.commandLine.substr(0, report.commandLine.find(' ')) +
        "\" (and .exe) first, and runs it if it exists. Put the program's path in double "
        "quotation marks.");
  }
}

}  // namespace

CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media) {
  bool outsideAscii = false;
  for (unsigned char byte : launcherPath) outsideAscii = outsideAscii || byte >= 0x80;
  return CheckLaunch(launcherPath, media, outsideAscii);
}

CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media,
                        bool nameOutsideAscii) {
  CheckReport report;
  report.launcherPath = launcherPath;
  for (int i = 0; i < 4; ++i) {
    report.values[i].key = kKeys[i];
    report.values[i].flag = i == 1 || i == 2;
  }
  Text settingsPath;
  if (!FormSettingsPath(View(launcherPath), settingsPath)) return report;
  report.settingsPath = Str(settingsPath);

  EntryFacts facts = media.Find(report.settingsPath);
  switch (facts.kind) {
    case EntryKind::Missing: report.settingsState = SettingsState::Missing; break;
    case EntryKind::Directory: report.settingsState = SettingsState::Directory; break;
    case EntryKind::Unknown: report.settingsState = SettingsState::Unknown; break;
    case EntryKind::File:
      report.settingsState =
          facts.lastWriteHasDosForm ? SettingsState::Read : SettingsState::OutsideDosDates;
      break;
  }
  if (report.settingsState == SettingsState::Read) ReadValues(report, media);
  if (report.settingsState == SettingsState::Directory) {
    report.warnings.push_back("A folder bears the settings file's name: no settings are read.");
  }
  if (report.settingsState == SettingsState::OutsideDosDates) {
    report.warnings.push_back(
        "The settings file was last written before 1980 or after 2107: the launcher counts "
        "it as absent. Touch it to give it a current date.");
  }

  LaunchSettings settings;
  settings.ShellExec = report.values[1].on;
  settings.BrowseForFolder = report.values[2].on;
  LaunchRequest request;
  if (!settings.FileToRun.Assign({View(report.values[0].text)}) ||
      !settings.BrowsePath.Assign({View(report.values[3].text)}) ||
      !DecideLaunchRequest(View(launcherPath), settings, request)) {
    return report;
  }
  DescribeRequest(report, request, media);

  if (report.targetExists == Existence::No) {
    report.cannotWork = true;
    report.warnings.push_back("\"" + report.target + "\" does not exist: nothing would start.");
  } else if (report.targetExists == Existence::Unknown) {
    report.warnings.push_back("\"" + report.target +
                              "\" lies outside the media folder and cannot be checked here.");
  }

  // The launcher reaches a folder the ANSI code page cannot spell through
  // its short (8.3) name, which not every volume keeps.
  if (nameOutsideAscii) {
    report.warnings.push_back(
        "The launcher's path holds characters outside ASCII: Windows systems whose ANSI code "
        "page holds them find everything; elsewhere the launcher finds its folder through its "
        "short (8.3) name, which volumes formatted exFAT and many network shares do not keep. "
        "Keep the launcher's own name in ASCII.");
  }

  std::string name = Lower(Str(NamePart(View(launcherPath))));
  for (const char* word : {"setup", "install", "update"}) {
    if (name.find(word) != std::string::npos) {
      report.warnings.push_back("The launcher's name contains \"" + std::string(word) +
                                "\": Windows will ask for administrator rights before it "
                                "starts, and the program it starts inherits them.");
      break;
    }
  }
  return report;
}

namespace {

const char* StateText(SettingsState state) {
  switch (state) {
    case SettingsState::Read: return "read";
    case SettingsState::Missing: return "absent: there is no such file";
    case SettingsState::Directory: return "absent: it is a folder";
    case SettingsState::OutsideDosDates:
      return "absent: last written before 1980 or after 2107";
    case SettingsState::Unknown: return "cannot be checked here";
  }
  return "";
}

const char* ExistenceText(Existence existence) {
  switch (existence) {
    case Existence::Yes: return "exists";
    case Existence::No: return "does not exist";
    case Existence::Unknown: return "cannot be checked here";
  }
  return "";
}

std::string HowRead(const SettingValue& value) {
  std::string shown = value.present ? "\"" + value.text + "\"" : "(missing)";
  if (!value.flag) return shown;
  if (value.isNumber) return shown + ": " + std::to_string(value.number) + (value.on ? ", on" : ", off");
  if (value.text.empty()) return shown + ": off";
  return shown + ": not a number, off";
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char byte : text) {
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte >= 0x7F) {
      // Bytes of the ANSI code page, shown as the code points of Latin-1.
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out + "\"";
}

const char* Verdict(const CheckReport& report) {
  switch (report.ExitCode()) {
    case 0: return "works as configured";
    case 1: return "works, with warnings";
    default: return "cannot work: nothing would start";
  }
}

}  // namespace

std::string FormatReport(const CheckReport& report) {
  std::ostringstream out;
  out << "Launcher:  " << report.launcherPath << "\n";
  out << "Settings:  " << report.settingsPath << " (" << StateText(report.settingsState) << ")\n";
  if (report.settingsState == SettingsState::Read) {
    for (const SettingValue& value : report.values) {
      out << "  " << value.key << std::string(16 - std::string(value.key).size(), ' ') << "= "
          << HowRead(value) << "\n";
    }
  }
  out << "Mode:      " << report.mode
      << (report.usesDefaultTarget && report.mode != "FolderBrowse" ? " (the default target)" : "")
      << "\n";
  out << "Request:   " << report.call << "\n";
  if (report.call == "ShellExecuteA") {
    out << "  verb:              open\n";
    out << "  file:              " << report.file << "\n";
    out << "  parameters:        " << (report.hasParameters ? report.parameters : "(none)")
        << "\n";
    out << "  directory:         (none)\n";
  } else {
    out << "  command line:      " << report.commandLine << "\n";
    out << "  current directory: "
        << (report.hasCurrentDirectory
                ? report.currentDirectory
                : report.targetDirectory.empty()
                      ? "(none: the launcher's own)"
                      : "(none: the launcher's own; \"" + report.targetDirectory +
                            "\" is no folder)")
        << "\n";
  }
  out << "Target:    " << report.target << " (" << ExistenceText(report.targetExists) << ")\n";
  if (!report.warnings.empty()) {
    out << "Warnings:\n";
    for (const std::string& warning : report.warnings) out << "  - " << warning << "\n";
  }
  out << "Verdict:   " << Verdict(report) << "\n";
  return out.str();
}

std::string FormatReportJson(const CheckReport& report) {
  std::ostringstream out;
  out << "{\"launcher\": " << Json(report.launcherPath);
  out << ", \"settings\": {\"path\": " << Json(report.settingsPath) << ", \"state\": "
      << Json(StateText(report.settingsState)) << ", \"values\": {";
  for (int i = 0; i < 4; ++i) {
    const SettingValue& value = report.values[i];
    out << (i ? ", " : "") << Json(value.key) << ": {\"present\": "
        << (value.present ? "true" : "false") << ", \"text\": " << Json(value.text)
        << ", \"cut\": " << (value.cut ? "true" : "false");
    if (value.flag) {
      out << ", \"number\": " << (value.isNumber ? std::to_string(value.number) : "null")
          << ", \"on\": " << (value.on ? "true" : "false");
    }
    out << "}";
  }
  out << "}}, \"mode\": " << Json(report.mode) << ", \"request\": {\"call\": "
      << Json(report.call);
  if (report.call == "ShellExecuteA") {
    out << ", \"verb\": \"open\", \"file\": " << Json(report.file) << ", \"parameters\": "
        << (report.hasParameters ? Json(report.parameters) : "null") << ", \"directory\": null";
  } else {
    out << ", \"commandLine\": " << Json(report.commandLine) << ", \"currentDirectory\": "
        << (report.hasCurrentDirectory ? Json(report.currentDirectory) : "null");
  }
  out << "}, \"defaultTarget\": " << (report.usesDefaultTarget ? "true" : "false")
      << ", \"target\": {\"path\": " << Json(report.target) << ", \"exists\": "
      << (report.targetExists == Existence::Unknown
              ? "null"
              : report.targetExists == Existence::Yes ? "true" : "false")
      << ", \"elevation\": " << (report.elevation.empty() ? "null" : Json(report.elevation))
      << "}, \"warnings\": [";
  for (size_t i = 0; i < report.warnings.size(); ++i) {
    out << (i ? ", " : "") << Json(report.warnings[i]);
  }
  out << "], \"verdict\": " << Json(Verdict(report)) << ", \"exitCode\": " << report.ExitCode()
      << "}\n";
  return out.str();
}
