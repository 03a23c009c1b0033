#include "startup/startup_sequence.h"

#include "paths/module_path.h"
#include "paths/path_names.h"
#include "platform/file_existence.h"
#include "platform/launch.h"
#include "platform/process_environment.h"
#include "settings/launch_settings.h"
#include "startup/failure_report.h"
#include "startup/program_choice.h"

namespace {

void RequireMemory(bool allocated) {
  if (!allocated) FailOutOfMemory();
}

// SearchPathA's ANSI form gives at most MAX_PATH bytes.
constexpr size_t kFoundBytes = 261;

CandidateFile FindAsWindowsDoes(void* context, const char* name, const char* extension) {
  char found[kFoundBytes];
  size_t length = SearchProgramFile(name, extension, found, sizeof found);
  // SearchPathA also finds folders, which start nothing.
  if (length == 0 || length >= sizeof found || DirectoryExists(found)) {
    return CandidateFile::Missing;
  }
  // The full path: the folder searched and the name as written, ".."
  // resolved. Another spelling of the launcher's own path (a drive mapped
  // twice) passes here, and the launcher it starts finds itself named.
  return SamePathText(TextView(found, length), *static_cast<const TextView*>(context))
             ? CandidateFile::Launcher
             : CandidateFile::Other;
}

// The launchers that started this one, one after the other, each adding its
// own path after a ">" (no Windows path holds one, nor does a double-byte
// character in any code page). Only what a launcher starts inherits it.
constexpr char kLauncherChain[] = "START_LAUNCHER_CHAIN";
constexpr char kChainSeparator = '>';
// Eight launchers deep: no media is built like that, a runaway chain is.
constexpr size_t kChainBytes = 2048;

// True when one of the launchers in the chain is this very one: whatever
// led back to it (a batch file, a shortcut, a second name), it would only
// start the same again.
bool ChainHoldsOwnPath(const TextView& chain, const TextView& modulePath) {
  for (size_t start = 0; start < chain.length;) {
    size_t end = start;
    while (end < chain.length && chain.bytes[end] != kChainSeparator) ++end;
    if (SamePathText(TextView(chain.bytes + start, end - start), modulePath)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

void IssueLaunchRequest(LaunchRequest& request) {
  switch (request.mode) {
    case LaunchMode::FolderBrowse:
    case LaunchMode::ShellOpen:
      // Only Explorer is handed parameters: the folder.
      ShellOpen(request.file.CString(),
                request.mode == LaunchMode::FolderBrowse ? request.parameters.CString() : nullptr,
                nullptr);
      return;
    case LaunchMode::ProcessStart: {
      // Windows refuses to start anything in a directory that does not exist
      // (a bare "Setup.exe" has none at all); the launcher's own folder,
      // which it made its current directory, is the useful fallback then.
      const char* directory = nullptr;
      if (!request.targetDirectory.Empty() &&
          DirectoryExists(request.targetDirectory.CString())) {
        directory = request.targetDirectory.CString();
      }
      char* commandLine = request.commandLine.Buffer();
      if (!HandsFailedStartToShell(StartProcess(commandLine, directory))) return;
      // The shell takes the program and its arguments apart: the program
      // Windows found, or else the line cut as Windows cuts it. Cut in place:
      // nothing here may need memory after the request has begun.
      CommandLineParts parts = SplitCommandLineAt(request.commandLine.View(), request.programLength);
      size_t programEnd = static_cast<size_t>(parts.program.bytes - commandLine) +
                          parts.program.length;
      if (programEnd < request.commandLine.Length()) commandLine[programEnd] = 0;
      ShellOpen(parts.program.bytes, parts.arguments.Empty() ? nullptr : parts.arguments.bytes,
                directory);
      return;
    }
  }
}

int RunStartupSequence() {
  Text modulePath;
  RequireMemory(ReadModulePath(modulePath));
  // Relative names in the settings mean the launcher's folder, however it
  // was started: autorun starts it in the drive's root, a shortcut or a
  // prompt in a folder of their own.
  size_t folderLength = DirectoryOf(modulePath.View()).length;
  if (folderLength != 0) {
    char* path = modulePath.Buffer();
    char cut = path[folderLength];
    path[folderLength] = 0;
    SetCurrentFolder(path);
    path[folderLength] = cut;
  }

  TextView ownPath = modulePath.View();
  char chain[kChainBytes];
  size_t chainLength = ReadEnvironmentText(kLauncherChain, chain, sizeof chain);
  if (chainLength >= sizeof chain || ChainHoldsOwnPath(TextView(chain, chainLength), ownPath)) {
    return 0;
  }

  Text settingsPath;
  RequireMemory(FormSettingsPath(modulePath.View(), settingsPath));
  LaunchSettings settings;
  LoadLaunchSettings(settingsPath, settings);

  LaunchRequest request;
  RequireMemory(DecideLaunchRequest(modulePath.View(), settings, request));
  RequireMemory(AvoidSelfStart(request, ProgramFinder{FindAsWindowsDoes, &ownPath}));
  if (request.namesLauncher) return 0;
  // Explorer only opens a folder, so no chain runs through it; and the window
  // may belong to the process started here, whose environment must not
  // refuse a later double-click on the launcher.
  if (request.mode != LaunchMode::FolderBrowse) {
    Text marked;
    RequireMemory(marked.Assign(
        {TextView(chain, chainLength), chainLength ? ">" : "", modulePath.View()}));
    WriteEnvironmentText(kLauncherChain, marked.CString());
  }
  IssueLaunchRequest(request);
  return 0;
}
