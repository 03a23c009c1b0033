#include "startup/launch_request.h"

#include "paths/path_names.h"

namespace {

bool IsBlankOrTab(unsigned char byte) { return byte == ' ' || byte == '\t'; }

bool HoldsBlank(const TextView& text) {
  for (size_t i = 1; i <= text.length; ++i) {
    if (text.At(i) == ' ') return true;
  }
  return false;
}

}  // namespace

bool FormSettingsPath(const TextView& modulePath, Text& settingsPath) {
  return settingsPath.Assign({DirectoryPart(modulePath), BaseName(modulePath), ".ini"});
}

bool FormDefaultTarget(const TextView& modulePath, Text& defaultTarget) {
  return defaultTarget.Assign(
      {DirectoryPart(modulePath), "..\\Installer\\", NamePart(modulePath)});
}

LaunchMode ChooseLaunchMode(const LaunchSettings& settings) {
  if (settings.BrowseForFolder) return LaunchMode::FolderBrowse;
  if (settings.ShellExec) return LaunchMode::ShellOpen;
  return LaunchMode::ProcessStart;
}

CommandLineParts SplitCommandLine(const TextView& commandLine) {
  bool quoted = commandLine.length != 0 && commandLine.At(1) == '"';
  TextView rest = quoted ? commandLine.After(1) : commandLine;
  size_t end = 0;
  while (end < rest.length) {
    unsigned char byte = static_cast<unsigned char>(rest.bytes[end]);
    if (quoted ? byte == '"' : IsBlankOrTab(byte)) break;
    ++end;
  }
  TextView program = rest.Head(end);
  if (quoted && end < rest.length) ++end;  // the closing quotation mark
  while (end < rest.length && IsBlankOrTab(static_cast<unsigned char>(rest.bytes[end]))) ++end;
  return {program, rest.After(end)};
}

CommandLineParts SplitCommandLineAt(const TextView& commandLine, size_t programLength) {
  if (programLength == 0 || programLength > commandLine.length) return SplitCommandLine(commandLine);
  TextView arguments = commandLine.After(programLength);
  while (arguments.length != 0 && IsBlankOrTab(arguments.At(1))) arguments = arguments.After(1);
  return {commandLine.Head(programLength), arguments};
}

TextView TargetDirectoryOf(const TextView& commandLine) {
  if (commandLine.length == 0 || commandLine.At(1) != '"') return DirectoryOf(commandLine);
  return DirectoryOf(SplitCommandLine(commandLine).program);
}

// Kept out of line: inlined into the sequence, the launcher grows by 128
// bytes (measured), and its code budget is tight.
__attribute__((noinline)) bool DecideLaunchRequest(const TextView& modulePath,
                                                   const LaunchSettings& settings,
                                                   LaunchRequest& request) {
  request.mode = ChooseLaunchMode(settings);
  request.usesDefaultTarget = settings.FileToRun.Empty();
  Text target;
  if (request.usesDefaultTarget) {
    if (!FormDefaultTarget(modulePath, target)) return false;
  } else if (!target.Assign({settings.FileToRun.View()})) {
    return false;
  }

  switch (request.mode) {
    case LaunchMode::FolderBrowse:
      // Always below the program's own folder, whatever BrowsePath holds.
      // Explorer reads its command line as fields split at commas and equals
      // signs, and only quotation marks keep a field whole ("Docs, English");
      // no Windows path holds one.
      return request.file.Assign({"explorer.exe"}) &&
             request.parameters.Assign(
                 {"\"", DirectoryPart(modulePath), settings.BrowsePath.View(), "\""});
    case LaunchMode::ShellOpen:
      request.file = static_cast<Text&&>(target);
      return true;
    case LaunchMode::ProcessStart:
      break;
  }

  if (!request.targetDirectory.Assign({TargetDirectoryOf(target.View())})) return false;
  // An unquoted path with a blank lets Windows try each prefix as a program
  // ("C:\Users\Ann.exe" before "C:\Users\Ann Lee\..."). Our own default
  // target is one path, so it is quoted; a FileToRun is the author's command
  // line and stays exactly as written.
  if (request.usesDefaultTarget && HoldsBlank(target.View())) {
    return request.commandLine.Assign({"\"", target.View(), "\""});
  }
  request.commandLine = static_cast<Text&&>(target);
  return true;
}
