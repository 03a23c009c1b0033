#include "check.h"

#include <nlohmann/json.hpp>

#include <stdint.h>

#include <stdio.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "paths/path_names.h"
#include "code_page.h"
#include "media_path.h"
#include "profile_reader.h"
#include "program_image.h"
#include "settings/integer_text.h"
#include "settings/launch_settings.h"
#include "settings/settings_reader.h"
#include "startup/launch_request.h"
#include "startup/program_choice.h"

namespace {

const char* const kKeys[4] = {"FileToRun", "ShellExec", "BrowseForFolder", "BrowsePath"};

// Every finding goes through here: its severity is the catalogue's.
void Say(CheckReport& report, FindingCode code, std::string message) {
  FindingKind kind = KindOf(code);
  report.findings.push_back({code, kind.code, kind.severity, std::move(message)});
}

std::string Str(const TextView& view) { return std::string(view.bytes, view.length); }
std::string Str(const Text& text) { return std::string(text.CString(), text.Length()); }
TextView View(const std::string& text) { return TextView(text.data(), text.size()); }

std::string Lower(std::string text) {
  for (char& byte : text) byte = static_cast<char>(std::tolower(static_cast<unsigned char>(byte)));
  return text;
}

// Names compare as Windows compares them: the launcher's own rule, which
// folds ASCII letters only and needs no copy.
bool SameName(const std::string& left, const std::string& right) {
  return SamePathText(View(left), View(right));
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

// Where Windows would find a program name, seen on the media: beside the
// launcher. The launcher's own path counts as the launcher even before it is
// put there.
struct MediaFinder {
  const std::string* launcherPath;
  MediaAccess* media;
};

CandidateFile FindOnMedia(void* context, const char* name, const char* extension) {
  const MediaFinder& finder = *static_cast<const MediaFinder*>(context);
  std::string candidate = name;
  if (extension != nullptr && AddsExtension(View(candidate))) candidate += extension;
  std::string path = BesideLauncher(*finder.launcherPath, candidate);
  // The walk from the launcher's folder resolves "." and "..": one step down
  // to the launcher's own name is the launcher.
  const std::string& launcher = *finder.launcherPath;
  WalkFromFolder walk;
  if (WalkTo(Str(DirectoryPart(View(launcher))), path, walk) && walk.up == 0 &&
      walk.down.size() == 1 && SameName(walk.down[0], Str(NamePart(View(launcher))))) {
    return CandidateFile::Launcher;
  }
  return finder.media->Find(path).kind == EntryKind::File ? CandidateFile::Other
                                                          : CandidateFile::Missing;
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
    candidates.push_back(Str(SplitCommandLine(View(commandLine)).program));
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

// Blanks and tabs off both ends.
std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The text after the first "=" on a line of the file, blanks at both ends
// removed.
std::string RawValueOnLine(const std::string& bytes, size_t line) {
  size_t start = 0;
  for (size_t at = 1; at < line && start < bytes.size(); ++at) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) return "";
    start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  size_t end = bytes.find_first_of("\r\n", start);
  std::string text = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t equals = text.find('=');
  if (equals == std::string::npos) return "";
  return Trim(text.substr(equals + 1));
}

bool StartsWithUtf8Mark(const std::string& bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

// A file that holds UTF-8 sequences outside ASCII, with or without a UTF-8
// mark before them: Notepad's "UTF-8" and "UTF-8 with BOM", both of which
// Windows' profile reader takes for ANSI. `sample` is the first word with
// such a character.
bool IsUtf8Text(const std::string& file, std::string& sample) {
  if (file.size() >= 2 && ((file[0] == '\xFF' && file[1] == '\xFE') ||
                           (file[0] == '\xFE' && file[1] == '\xFF'))) {
    return false;
  }
  const std::string bytes = file.substr(StartsWithUtf8Mark(file) ? 3 : 0);
  size_t first = std::string::npos;
  for (size_t i = 0; i < bytes.size();) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    size_t length = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3
                                  : (byte & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || (length > 1 && byte < 0xC2) || i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length > 1 && first == std::string::npos) first = i;
    i += length;
  }
  if (first == std::string::npos) return false;
  size_t begin = bytes.find_last_of(" =\t\r\n\\", first);
  size_t end = bytes.find_first_of(" \t\r\n\\", first);
  begin = begin == std::string::npos ? 0 : begin + 1;
  // A message quotes a word, not a file.
  constexpr size_t kSampleBytes = 40;
  sample = bytes.substr(begin, std::min(end == std::string::npos ? bytes.size() - begin
                                                                 : end - begin,
                                        kSampleBytes));
  while (!sample.empty() && (static_cast<unsigned char>(sample.back()) & 0xC0) == 0x80) {
    sample.pop_back();  // no UTF-8 character cut in two
  }
  if (!sample.empty() && static_cast<unsigned char>(sample.back()) >= 0xC0) sample.pop_back();
  return true;
}

// What a flag left off causes.
std::string OffMeans(const std::string& flag) {
  return flag == "ShellExec" ? "FileToRun starts as a new process, not through the shell"
                             : "no folder opens";
}

// What a key left out of the settings means.
std::string WithoutKey(const std::string& key) {
  if (key == "FileToRun") return "the default target is used";
  if (key == "BrowsePath") return "the launcher's own folder opens";
  return key + " is off and " + OffMeans(key);
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

  // FileToRun="Setup Files\Setup.exe": a pair the profile reader removes.
  for (const ProfileEntry& entry : entries) {
    if (!SameName(entry.section, "Information") || !SameName(entry.key, "FileToRun")) continue;
    std::string raw = RawValueOnLine(bytes, entry.line);
    report.values[0].quotedInFile = raw.size() >= 2 && raw.front() == '"' && raw.back() == '"' &&
                                    raw.find('"', 1) == raw.size() - 1;
    break;
  }

  bool autorunLines = false;
  for (const ProfileEntry& entry : entries) {
    std::string key = Lower(entry.key);
    autorunLines = autorunLines || SameName(entry.section, "autorun") || key == "open" ||
                   key == "shellexecute" || key == "icon" || key == "label";
  }
  if (autorunLines) {
    Say(report, FindingCode::AutorunLinesInSettings,
         report.settingsPath + " holds lines of an autorun.inf ([autorun], open=, icon=, "
         "label=): those belong in autorun.inf at the media root. The launcher reads only the "
         "section [Information] with FileToRun, ShellExec, BrowseForFolder and BrowsePath.");
  }
  std::string sample;
  bool mark = StartsWithUtf8Mark(bytes);
  if (IsUtf8Text(bytes, sample)) {
    bool exact = true;
    Say(report, mark ? FindingCode::SettingsUtf8WithBom : FindingCode::SettingsUtf8WithoutBom,
         report.settingsPath + " is saved as UTF-8 " +
             (mark ? "with" : "without") + " a byte-order mark and holds "
             "characters outside ASCII: Windows reads it in the ANSI code page, so \"" +
             Utf8ToAnsi(sample, exact) + "\" reads as \"" + sample +
             "\". Save it as ANSI, or as UTF-16 (\"Unicode\" in Notepad).");
  }
  // Windows' profile reader does not skip a UTF-8 mark: a section header
  // right after it is no header (Wine's reader skips it, so a run under Wine
  // does not show this).
  std::string firstLine = mark ? Trim(bytes.substr(3, bytes.find_first_of("\r\n") - 3)) : "";
  size_t close = firstLine.rfind(']');
  if (!firstLine.empty() && firstLine[0] == '[' && close != std::string::npos &&
      SameName(Trim(firstLine.substr(1, close - 1)), "Information")) {
    Say(report, FindingCode::SettingsUtf8BomHidesSection,
        report.settingsPath + " is saved as UTF-8 with a byte-order mark, and [Information] is "
        "on its first line, right after the mark. Windows' profile reader does not skip the "
        "mark, so it does not see that section: the launcher reads none of its values. Save the "
        "file as ANSI, or as UTF-16 (\"Unicode\" in Notepad), or put a blank or comment line "
        "first.");
  }

  for (const ProfileEntry& entry : entries) {
    bool information = SameName(entry.section, "Information");
    for (const char* key : kKeys) {
      if (!information && SameName(entry.key, key)) {
        Say(report, FindingCode::KeyOutsideInformation,
             std::string(key) + " is in the section [" + entry.section + "] (line " +
                 std::to_string(entry.line) + "): only [Information] is read.");
      }
    }
    if (!information) continue;
    bool known = false;
    const char* closest = nullptr;
    for (const char* key : kKeys) {
      if (SameName(entry.key, key)) known = true;
      // Names more than two letters apart in length are never close.
      size_t length = TextView(key).length;
      bool near = entry.key.size() <= length + 2 && entry.key.size() + 2 >= length;
      if (near && EditDistance(entry.key, key) <= 2) closest = key;
    }
    if (!known && closest) {
      Say(report, FindingCode::KeyMisspelt,
           "\"" + entry.key + "\" (line " + std::to_string(entry.line) +
               ") is not read: did you mean " + closest + "? Without it, " +
               WithoutKey(closest) + ".");
    }
  }

  for (const SettingValue& value : report.values) {
    if (value.cut) {
      Say(report, FindingCode::ValueCut,
           std::string(value.key) +
               " is longer than 2047 bytes: the launcher reads only the first 2047.");
    }
    if (value.flag && !value.isNumber && !value.text.empty()) {
      Say(report, FindingCode::FlagNotANumber,
           std::string(value.key) + " = \"" + value.text +
               "\" is not a number: the flag stays off, so " + OffMeans(value.key) +
               ". Use 1 or 0.");
    }
  }
}

// An installer's own program lies at its start; the archive it carries
// follows, and need not be read.
constexpr size_t kProgramHeadBytes = size_t{16} * 1024 * 1024;

// What Windows' installer detection reacts to in a program that asks for no
// execution level: a word of its file name, or of the version strings it
// reads.
struct InstallerWord {
  const char* word = nullptr;  // null: none found
  std::string where;           // "name", or the version string's key and text
};

const char* InstallerWordIn(const std::string& text) {
  std::string lower = Lower(text);
  for (const char* word : {"setup", "install", "update"}) {
    if (lower.find(word) != std::string::npos) return word;
  }
  return nullptr;
}

InstallerWord InstallerWordOf(const std::string& path, const ProgramImage& image) {
  if (const char* word = InstallerWordIn(Str(NamePart(View(path))))) return {word, "name"};
  for (const VersionString& text : image.versionStrings) {
    for (const char* key :
         {"FileDescription", "ProductName", "CompanyName", "InternalName", "OriginalFilename"}) {
      const char* word = text.key == key ? InstallerWordIn(text.value) : nullptr;
      if (word == nullptr) continue;
      bool exact = true;
      return {word, text.key + " \"" + Utf8ToAnsi(text.value, exact) + "\""};
    }
  }
  return {};
}

// Installer detection applies to 32-bit programs alone, and to those only
// whose manifest, if any, requests no execution level.
bool InstallerDetectionApplies(const ProgramImage& image) {
  return image.machine == 0x14C && image.executionLevel.empty();
}

// What the program file says of itself: whether Windows can start it as a
// new process, on which Windows, and whether Windows will ask for
// administrator rights first (the launcher hands a start refused for those
// rights, error 740, to the shell, which asks).
void CheckProgram(CheckReport& report, MediaAccess& media) {
  std::string bytes;
  if (report.targetExists != Existence::Yes ||
      !media.ReadBytes(report.target, bytes, kProgramHeadBytes)) {
    return;
  }
  std::string extension = Lower(Str(ExtensionPart(View(report.target))));
  bool script = extension == ".bat" || extension == ".cmd";
  ProgramImage image = ReadProgramImage(bytes);
  if (report.mode == "ProcessStart" && !script && !image.isImage) {
    std::string file = report.target;
    bool installerPackage = extension == ".msi" || extension == ".msp";
    Say(report, FindingCode::NotAProgram,
        "\"" + file + "\" is not a Windows program, and Windows starts only programs as a new "
        "process: nothing would start. " +
        (installerPackage
             ? std::string("Give it to Windows Installer: FileToRun=msiexec.exe /i \"") +
                   Str(NamePart(View(file))) + "\" and its options (such as /qn), or set "
                   "ShellExec=1 to open it as a double-click would (no options then)."
             : std::string("Set ShellExec=1 to open it as a double-click would, in the program "
                           "registered for it.")));
    return;
  }
  if (!image.isImage) return;
  if (image.machine == 0x8664 || image.machine == 0xAA64) {
    Say(report, image.machine == 0x8664 ? FindingCode::Target64BitOnly : FindingCode::TargetArm64Only,
         "\"" + report.target + "\" is a " +
             (image.machine == 0x8664 ? "64-bit (x64)" : "64-bit ARM") +
             " program: it does not run on 32-bit Windows" +
             (image.machine == 0xAA64 ? ", nor on x64 Windows." : "."));
  }
  std::string how = report.mode == "ProcessStart"
                        ? "Windows will not start it as a new process, so the launcher hands it, "
                          "with its arguments, to the shell, and "
                        : "";
  if (AsksForAdministratorRights(image)) {
    report.elevation = image.executionLevel;
    // What an installer does: worth knowing, nothing to change.
    Say(report, FindingCode::NeedsAdministratorRights,
         "\"" + report.target + "\" asks for administrator rights (its manifest: level=\"" +
             image.executionLevel + "\"): " + how + "Windows asks for the rights when the " +
             "media is opened. A user who cannot give them gets nothing started.");
  } else if (InstallerWord found = InstallerWordOf(report.target, image);
             InstallerDetectionApplies(image) && found.word) {
    report.elevation = "installerDetection";
    Say(report, FindingCode::InstallerDetection,
         "\"" + report.target + "\" is a 32-bit program without a requested execution level "
             "whose " + found.where + " holds \"" + found.word + "\": Windows' installer "
             "detection asks for administrator rights for it. " + how + "Windows asks when the "
             "media is opened. A user who cannot give them gets nothing started.");
  }
}

// What Windows reads in the launcher's own image before it starts it: the
// rights its manifest asks for, or, where it asks for none, installer
// detection's words in its name and version strings. A launcher that is not
// there yet gets nothing said: every released launcher asks to run as the
// invoker, whatever its name, and the check reads it once it is there.
void CheckLauncherImage(CheckReport& report, MediaAccess& media) {
  std::string bytes;
  if (media.Find(report.launcherPath).kind != EntryKind::File ||
      !media.ReadBytes(report.launcherPath, bytes, kProgramHeadBytes)) {
    return;
  }
  ProgramImage image = ReadProgramImage(bytes);
  if (AsksForAdministratorRights(image)) {
    bool highest = image.executionLevel == "highestAvailable";
    Say(report, FindingCode::LauncherAsksForRights,
        std::string("The launcher's manifest asks for ") +
            (highest ? "the highest rights its user has" : "administrator rights") +
            " (level=\"" + image.executionLevel + "\"): Windows asks " +
            (highest ? "an administrator " : "") +
            "for them before the launcher starts, and the program it starts inherits them. " +
            (highest ? "Other users run it with their own rights."
                     : "A user who cannot give them gets nothing started."));
    return;
  }
  InstallerWord found = InstallerWordOf(report.launcherPath, image);
  if (!image.isImage || !InstallerDetectionApplies(image) || !found.word) return;
  Say(report, FindingCode::LauncherNameElevates,
       "The launcher is a 32-bit program without a requested execution level, and its " +
           found.where + " holds \"" + found.word + "\": Windows' installer detection asks for "
           "administrator rights before it starts, and the program it starts inherits them. "
           "The launchers of the release ask to run as the invoker, whatever their name: use "
           "one of those.");
}

// A command line's program, as Windows cuts it.
std::string ProgramOf(const std::string& commandLine) {
  CommandLineParts parts = SplitCommandLine(View(commandLine));
  return Str(parts.program);
}

// Media authors' habits that leave the launcher without its settings: a
// name saved with a hidden ".txt", or a settings file named for another
// launcher name.
void LookForMisnamedSettings(CheckReport& report, MediaAccess& media) {
  if (media.Find(report.settingsPath + ".txt").kind == EntryKind::File) {
    Say(report, FindingCode::SettingsHiddenExtension,
         "There is no " + report.settingsPath + ", but there is " + report.settingsPath +
             ".txt: it was saved as a text file, and Explorer hides the extension. Rename it "
             "(with file name extensions shown in Explorer's View menu).");
    return;
  }
  std::string folder = Str(DirectoryPart(View(report.launcherPath)));
  for (const std::string& name : media.List(folder)) {
    if (Lower(Str(ExtensionPart(View(name)))) != ".ini") continue;
    std::string bytes;
    if (!media.ReadBytes(folder + name, bytes, 1 << 20)) continue;
    for (const ProfileEntry& entry : ListProfileEntries(bytes)) {
      if (!SameName(entry.section, "Information")) continue;
      std::string message = "There is no " + report.settingsPath + ", but ";
      message += folder;
      message += name;
      message +=
          " holds a section [Information]: the launcher reads only the settings file of its "
          "own name. Rename one of the two so that they match (";
      message += Str(BaseName(View(report.launcherPath)));
      message += ".ini beside ";
      message += Str(NamePart(View(report.launcherPath)));
      message += ").";
      Say(report, FindingCode::SettingsOtherName, std::move(message));
      return;
    }
  }
}

// The media root's autorun.inf, which Windows reads on optical media to
// start the launcher.
void CheckAutorunFile(CheckReport& report, MediaAccess& media) {
  const std::string& launcher = report.launcherPath;
  if (launcher.size() < 3 || launcher[1] != ':' || launcher[2] != '\\') return;
  std::string root = launcher.substr(0, 3);
  std::string path = root + "autorun.inf";
  std::string bytes;
  if (media.Find(path).kind != EntryKind::File || !media.ReadBytes(path, bytes, 1 << 20)) return;
  std::string open, label;
  bool hasOpen = false, hasIcon = false, hasLabel = false;
  for (const ProfileEntry& entry : ListProfileEntries(bytes)) {
    if (!SameName(entry.section, "autorun")) continue;
    std::string key = Lower(entry.key);
    if ((key == "open" || key == "shellexecute") && !hasOpen) {
      hasOpen = true;
      open = entry.value;
    } else if (key == "icon") {
      hasIcon = true;
    } else if (key == "label" && !hasLabel) {
      hasLabel = true;
      label = entry.value;
    }
  }
  std::string relative = launcher.substr(3);
  std::string named = ProgramOf(open);
  while (!named.empty() && (named[0] == '\\' || named[0] == '.')) {
    named.erase(0, named[0] == '.' && named.size() > 1 && named[1] == '\\' ? 2 : 1);
  }
  if (!hasOpen) {
    Say(report, FindingCode::AutorunWithoutOpen,
         path + " names no program to start (open= or shellexecute= in [autorun]): write "
         "open=" + relative + ".");
  } else if (!SameName(named, relative) && !SameName(named + ".exe", relative)) {
    Say(report, FindingCode::AutorunOpensAnotherProgram,
         path + " starts " + open + ", not the launcher " + relative + ": write open=" +
             relative + ".");
  }
  if (!hasIcon) {
    Say(report, FindingCode::AutorunWithoutIcon,
        path + " gives no icon= for the drive: icon=" + relative + " shows the launcher's.");
  }
  if (hasLabel && label.size() > 32) {
    Say(report, FindingCode::AutorunLabelTooLong,
         "The label in " + path + " is " + std::to_string(label.size()) +
             " characters long: Explorer shows at most 32.");
  }
  Say(report, FindingCode::AutorunOpticalOnly,
      "Windows 7 and later follow open= in autorun.inf on CDs and DVDs only: on a USB stick the "
      "user double-clicks " + relative + ".");
}

void DescribeRequest(CheckReport& report, const LaunchRequest& request, MediaAccess& media) {
  report.usesDefaultTarget = request.usesDefaultTarget;
  switch (request.mode) {
    case LaunchMode::FolderBrowse: {
      report.mode = "FolderBrowse";
      report.call = "ShellExecuteExA";
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
        Say(report, FindingCode::BrowsePathAbsolute,
             "BrowsePath \"" + browsePath +
                 "\" is put after the launcher's folder all the same: the folder opened is " +
                 report.parameters + ". Give a path relative to the launcher's folder.");
      }
      if (report.targetExists == Existence::No) {
        Say(report, FindingCode::FolderMissing,
             "\"" + report.target + "\" does not exist: Explorer opens all the same, but "
             "shows its default view (This PC or Quick access) instead. Create the folder, or "
             "correct BrowsePath.");
      }
      return;
    }
    case LaunchMode::ShellOpen: {
      report.mode = "ShellOpen";
      report.call = "ShellExecuteExA";
      report.file = Str(request.file);
      report.target = BesideLauncher(report.launcherPath, report.file);
      EntryFacts facts = media.Find(report.target);
      report.targetExists = facts.kind == EntryKind::Unknown ? Existence::Unknown
                            : facts.kind == EntryKind::Missing ? Existence::No
                                                               : Existence::Yes;
      // "Manual.pdf /page=3" or "\"Setup Files\Setup.exe\" /S": the shell
      // takes the whole text for a file's name.
      std::string program = ProgramOf(report.file);
      if (report.targetExists == Existence::No && program != report.file &&
          media.Find(BesideLauncher(report.launcherPath, program)).kind == EntryKind::File) {
        report.target = BesideLauncher(report.launcherPath, program);
        Say(report, FindingCode::ShellOpenWithArguments,
            "Shell open takes a file only, no arguments: the shell is handed \"" + report.file +
                "\" as one file name, which does not exist, and nothing opens. Write "
                "FileToRun=" + program + " alone, or, for a program with arguments, set "
                "ShellExec=0 (the launcher starts it as a new process, and Windows asks for "
                "administrator rights where it needs them).");
        report.targetExists = Existence::Yes;
        return;
      }
      // The launcher's own image says nothing of a target: it starts nothing.
      if (!request.namesLauncher) CheckProgram(report, media);
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
  if (!request.namesLauncher) CheckProgram(report, media);
  if (lookup.blankInProgram && report.values[0].quotedInFile) {
    // FileToRun="Setup Files\Setup.exe": the profile reader took the pair.
    Say(report, FindingCode::QuotesRemoved,
         "FileToRun is written in quotation marks with nothing after them, and Windows' "
         "profile reader removes such a pair: the launcher receives " + report.commandLine +
             " unquoted, and Windows tries \"" +
             report.commandLine.substr(0, report.commandLine.find(' ')) +
             "\" (and .exe) first. Write the quotation marks twice: FileToRun=\"\"" +
             report.commandLine + "\"\".");
  } else if (lookup.blankInProgram) {
    Say(report, FindingCode::UnquotedBlank,
         "FileToRun is not quoted and its program's path has a blank: Windows tries \"" +
             report.commandLine.substr(0, report.commandLine.find(' ')) +
             "\" (and .exe) first, and runs it if it exists. Put the program's path in double "
             "quotation marks, with the arguments after them.");
  }
}

}  // namespace

// A file can hold a million misspelt keys: a few of each kind are told,
// then how many more there are.
static void KeepAFewOfEachKind(CheckReport& report) {
  constexpr size_t kShown = 3;
  std::vector<size_t> counts(kFindingCodeCount, 0);
  for (const Finding& finding : report.findings) ++counts[static_cast<size_t>(finding.id)];
  std::vector<size_t> shown(kFindingCodeCount, 0);
  std::vector<Finding> kept;
  for (Finding& finding : report.findings) {
    size_t kind = static_cast<size_t>(finding.id);
    if (++shown[kind] > kShown) continue;
    if (shown[kind] == kShown && counts[kind] > kShown) {
      finding.message += " (And " + std::to_string(counts[kind] - kShown) + " more like it.)";
    }
    kept.push_back(std::move(finding));
  }
  report.findings = std::move(kept);
}

CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media) {
  return CheckLaunch(launcherPath, media, AnsiToUtf8(launcherPath));
}

CheckReport CheckLaunch(const std::string& launcherPath, MediaAccess& media,
                        const std::string& longPath) {
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
  if (media.Find(launcherPath).kind == EntryKind::Missing) {
    Say(report, FindingCode::LauncherMissing,
         "There is no launcher at " + launcherPath + " yet: this is a check of a planned "
         "layout. Put Start.exe there (renamed as you like; it reads the settings file of its "
         "own name).");
  }
  if (report.settingsState == SettingsState::Read) ReadValues(report, media);
  if (report.settingsState == SettingsState::Missing) LookForMisnamedSettings(report, media);
  if (report.settingsState == SettingsState::Directory) {
    Say(report, FindingCode::SettingsIsAFolder,
         "A folder bears the settings file's name: no settings are read.");
  }
  if (report.settingsState == SettingsState::OutsideDosDates) {
    Say(report, FindingCode::SettingsDateOutsideDosRange,
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
  // The commandLine as written, for the message below.
  std::string written = Str(request.commandLine);
  MediaFinder finder{&launcherPath, &media};
  if (!AvoidSelfStart(request, ProgramFinder{FindOnMedia, &finder})) return report;
  DescribeRequest(report, request, media);
  if (request.namesLauncher) {
    Say(report, FindingCode::StartsItself,
        "The request names the launcher itself (" + report.target + "): Windows would start "
        "it again, and it would read the same settings and do the same, without end. So the "
        "launcher starts nothing. Name your own program" +
            (report.mode == "ProcessStart" ? ", in quotation marks when its path has a blank."
                                           : "."));
  } else if (report.commandLine != written) {  // the launcher quoted the program meant
    std::string program = ProgramOf(report.commandLine);
    Say(report, FindingCode::LauncherFoundFirst,
         "FileToRun is not quoted, and Windows tries \"" + written.substr(0, written.find_first_of(" \t")) +
             "\" (and .exe) first, which is the launcher itself. The launcher passes over "
             "itself and starts \"" + program + "\" with the rest of the line as its "
             "arguments. Quote it yourself, so that every program that reads the file agrees: "
             "FileToRun=" + report.commandLine);
  }
  if (request.usesDefaultTarget && report.mode != "FolderBrowse") {
    std::string why = report.settingsState == SettingsState::Read
                          ? "FileToRun is missing or empty in " + report.settingsPath
                          : "there is no settings file " + report.settingsPath + " that counts";
    Say(report, FindingCode::DefaultTarget,
        "The default target is used because " + why + ": " + report.target +
            ", the file of the launcher's own name in the folder Installer beside the "
            "launcher's folder.");
  }
  CheckAutorunFile(report, media);

  if (report.targetExists == Existence::No && report.mode != "FolderBrowse" &&
      !request.namesLauncher) {
    Say(report, FindingCode::TargetMissing,
        "\"" + report.target + "\" does not exist: nothing would start.");
  } else if (report.targetExists == Existence::Unknown) {
    Say(report, FindingCode::TargetNotCheckable,
         "\"" + report.target + "\" lies outside the media folder and cannot be checked here.");
  }

  // The launcher reaches a folder the ANSI code page cannot spell through
  // its short (8.3) name, which not every volume keeps.
  // The first part of the long path that holds a character outside ASCII:
  // a folder, or the launcher's own name.
  size_t outside = 0;
  while (outside < longPath.size() && static_cast<unsigned char>(longPath[outside]) < 0x80) {
    ++outside;
  }
  if (outside < longPath.size()) {
    size_t start = longPath.find_last_of("\\/", outside);
    start = start == std::string::npos ? 0 : start + 1;
    size_t end = longPath.find_first_of("\\/", outside);
    bool isName = end == std::string::npos;
    bool exact = true;
    std::string part = Utf8ToAnsi(longPath.substr(start, isName ? std::string::npos : end - start),
                                  exact);
    Say(report, FindingCode::PathOutsideAscii,
         (isName ? "The launcher's own name \"" + part + "\" holds"
                 : "The folder \"" + part + "\" in the launcher's path holds") +
             " characters outside ASCII: Windows systems whose ANSI code page holds them find "
             "everything; elsewhere the launcher finds its folder through its short (8.3) name, "
             "which volumes formatted exFAT and many network shares do not keep. " +
             (isName ? "Give the launcher a name in ASCII." : "Keep the launcher's own name in ASCII."));
  }

  CheckLauncherImage(report, media);
  KeepAFewOfEachKind(report);
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

const char* VerdictText(const CheckReport& report) {
  switch (report.ExitCode()) {
    case 0: return "works as configured";
    case 1: return "works, with warnings";
    default: return "cannot work: nothing would start";
  }
}

const char* VerdictId(const CheckReport& report) {
  switch (report.ExitCode()) {
    case 0: return "works";
    case 1: return "worksWithWarnings";
    default: return "cannotWork";
  }
}

const char* StateId(SettingsState state) {
  switch (state) {
    case SettingsState::Read: return "read";
    case SettingsState::Missing: return "missing";
    case SettingsState::Directory: return "folder";
    case SettingsState::OutsideDosDates: return "outsideDosDates";
    case SettingsState::Unknown: return "notCheckable";
  }
  return "";
}

const char* SeverityId(Severity severity) {
  switch (severity) {
    case Severity::Info: return "info";
    case Severity::Warning: return "warning";
    case Severity::Error: return "error";
  }
  return "";
}

}  // namespace

namespace {

// "  - " and the message, cut at blanks into lines of at most `width`
// columns (none when 0), the lines after the first indented under the text.
// A word longer than a line stays whole.
void PutWrapped(std::ostringstream& out, const std::string& message, size_t width) {
  const std::string first = "  - ", next = "    ";
  std::string line = first;
  size_t at = 0;
  bool lineHasWord = false;
  while (at < message.size()) {
    size_t end = message.find(' ', at);
    if (end == std::string::npos) end = message.size();
    std::string word = message.substr(at, end - at);
    if (width != 0 && lineHasWord && line.size() + 1 + word.size() > width) {
      out << line << "\n";
      line = next;
      lineHasWord = false;
    }
    line += (lineHasWord ? " " : "") + word;
    lineHasWord = true;
    at = end + 1;
  }
  out << line << "\n";
}

}  // namespace

std::string FormatReport(const CheckReport& report, size_t width) {
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
  if (report.call == "ShellExecuteExA") {
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
                      ? "(none: the launcher's folder)"
                      : "(none: the launcher's own; \"" + report.targetDirectory +
                            "\" is no folder)")
        << "\n";
  }
  out << "Target:    " << report.target << " (" << ExistenceText(report.targetExists) << ")\n";
  const struct {
    Severity severity;
    const char* heading;
  } groups[] = {{Severity::Error, "Problems:\n"},
                {Severity::Warning, "Warnings:\n"},
                {Severity::Info, "Notes:\n"}};
  for (const auto& group : groups) {
    if (!report.Has(group.severity)) continue;
    out << group.heading;
    for (const Finding& finding : report.findings) {
      if (finding.severity == group.severity) PutWrapped(out, finding.message, width);
    }
  }
  out << "Verdict:   " << VerdictText(report) << "\n";
  return out.str();
}

std::string FormatReportJson(const CheckReport& report) {
  // Every text of a report is in the ANSI code page, as the launcher holds it.
  using nlohmann::json;
  json values = json::object();
  for (const SettingValue& value : report.values) {
    json entry = {{"present", value.present}, {"text", AnsiToUtf8(value.text)}, {"cut", value.cut}};
    if (value.flag) {
      entry["number"] = value.isNumber ? json(value.number) : json(nullptr);
      entry["on"] = value.on;
    }
    values[value.key] = entry;
  }
  json request = {{"call", report.call}};
  if (report.call == "ShellExecuteExA") {
    request["verb"] = "open";
    request["file"] = AnsiToUtf8(report.file);
    request["parameters"] =
        report.hasParameters ? json(AnsiToUtf8(report.parameters)) : json(nullptr);
    request["directory"] = nullptr;
  } else {
    request["commandLine"] = AnsiToUtf8(report.commandLine);
    request["currentDirectory"] =
        report.hasCurrentDirectory ? json(AnsiToUtf8(report.currentDirectory)) : json(nullptr);
  }
  json findings = json::array();
  for (const Finding& finding : report.findings) {
    findings.push_back({{"code", finding.code},
                        {"severity", SeverityId(finding.severity)},
                        {"message", AnsiToUtf8(finding.message)}});
  }
  json out = {
      {"schema", kReportSchemaVersion},
      {"launcher", AnsiToUtf8(report.launcherPath)},
      {"settings",
       {{"path", AnsiToUtf8(report.settingsPath)},
        {"state", StateId(report.settingsState)},
        {"stateText", StateText(report.settingsState)},
        {"values", values}}},
      {"mode", report.mode},
      {"request", request},
      {"defaultTarget", report.usesDefaultTarget},
      {"target",
       {{"path", AnsiToUtf8(report.target)},
        {"exists", report.targetExists == Existence::Unknown
                       ? json(nullptr)
                       : json(report.targetExists == Existence::Yes)},
        {"elevation", report.elevation.empty() ? json(nullptr) : json(report.elevation)}}},
      {"findings", findings},
      {"verdict", VerdictId(report)},
      {"verdictText", VerdictText(report)},
      {"exitCode", report.ExitCode()},
  };
  return out.dump(2) + "\n";
}

std::string FormatUsageErrorJson(const std::string& message) {
  nlohmann::json out = {{"schema", kReportSchemaVersion},
                        {"error", {{"code", "usage"}, {"message", AnsiToUtf8(message)}}},
                        {"exitCode", 3}};
  return out.dump(2) + "\n";
}
