#include "startup/startup_sequence.h"

#include "paths/module_path.h"
#include "platform/file_existence.h"
#include "platform/launch.h"
#include "settings/launch_settings.h"
#include "startup/failure_report.h"

namespace {

void RequireMemory(bool allocated) {
  if (!allocated) FailOutOfMemory();
}

}  // namespace

void IssueLaunchRequest(LaunchRequest& request) {
  switch (request.mode) {
    case LaunchMode::FolderBrowse:
      ShellOpenFile(request.file.CString(), request.parameters.CString());
      return;
    case LaunchMode::ShellOpen:
      ShellOpenFile(request.file.CString(), nullptr);
      return;
    case LaunchMode::ProcessStart: {
      // Windows refuses to start anything in a directory that does not exist
      // (a bare "Setup.exe" has none at all); the launcher's own current
      // directory is the useful fallback then.
      const char* directory = nullptr;
      if (!request.targetDirectory.Empty() &&
          DirectoryExists(request.targetDirectory.CString())) {
        directory = request.targetDirectory.CString();
      }
      char* commandLine = request.commandLine.Buffer();
      if (!HandsFailedStartToShell(StartProcess(commandLine, directory))) return;
      // The shell takes the program and its arguments apart. Cut in place:
      // nothing here may need memory after the request has begun.
      CommandLineParts parts = SplitCommandLine(request.commandLine.View());
      size_t programEnd = static_cast<size_t>(parts.program.bytes - commandLine) +
                          parts.program.length;
      if (programEnd < request.commandLine.Length()) commandLine[programEnd] = 0;
      ShellOpenProgram(parts.program.bytes,
                       parts.arguments.Empty() ? nullptr : parts.arguments.bytes, directory);
      return;
    }
  }
}

int RunStartupSequence() {
  Text modulePath;
  RequireMemory(ReadModulePath(modulePath));
  Text settingsPath;
  RequireMemory(FormSettingsPath(modulePath.View(), settingsPath));

  LaunchSettings settings;
  LoadLaunchSettings(settingsPath, settings);

  LaunchRequest request;
  RequireMemory(DecideLaunchRequest(modulePath.View(), settings, request));
  IssueLaunchRequest(request);
  return 0;
}
