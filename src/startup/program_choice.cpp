#include "startup/program_choice.h"

#include "paths/path_names.h"

namespace {

// A leading quotation mark counts only with its closing one; without it
// Windows reads the line word by word, the mark included.
bool HasQuotedProgram(const TextView& line) {
  for (size_t i = 2; i <= line.length; ++i) {
    if (line.At(1) == '"' && line.At(i) == '"') return true;
  }
  return false;
}

// Looks up the bytes of `text` from `start` up to `end`, cut off in place
// for the moment of the call.
CandidateFile FindPart(const ProgramFinder& finder, Text& text, size_t start, size_t end,
                       const char* extension) {
  char* bytes = text.Buffer();
  char kept = bytes[end];
  bytes[end] = 0;
  CandidateFile found = finder.find(finder.context, bytes + start, extension);
  bytes[end] = kept;
  return found;
}

bool ChooseProcessProgram(LaunchRequest& request, const ProgramFinder& finder) {
  TextView line = request.commandLine.View();
  if (HasQuotedProgram(line)) {
    size_t programEnd = 1 + SplitCommandLine(line).program.length;
    request.namesLauncher =
        FindPart(finder, request.commandLine, 1, programEnd, ".exe") == CandidateFile::Launcher;
    return true;
  }
  bool passedLauncher = false;
  for (size_t end = 1; end <= line.length; ++end) {
    if (end < line.length && line.bytes[end] != ' ' && line.bytes[end] != '\t') continue;
    CandidateFile found = FindPart(finder, request.commandLine, 0, end, ".exe");
    if (found == CandidateFile::Missing) continue;
    if (found == CandidateFile::Launcher) {
      passedLauncher = true;
      continue;
    }
    if (!passedLauncher) {
      request.programLength = end;
      return true;
    }
    // Quoted, Windows takes exactly this program and tries no shorter one.
    // (Assign copies its parts before it lets the old text go.)
    return request.targetDirectory.Assign({DirectoryOf(line.Head(end))}) &&
           request.commandLine.Assign({"\"", line.Head(end), "\"", line.After(end)});
  }
  request.namesLauncher = passedLauncher;
  return true;
}

}  // namespace

bool AddsExtension(const TextView& name) {
  // The extension search stops at "\" and ":"; a "/" also ends a name.
  TextView extension = ExtensionPart(name);
  for (size_t i = 1; i <= extension.length; ++i) {
    if (extension.At(i) == '/') return true;
  }
  return extension.length == 0;
}

bool AvoidSelfStart(LaunchRequest& request, const ProgramFinder& finder) {
  if (request.mode == LaunchMode::ProcessStart) return ChooseProcessProgram(request, finder);
  // Explorer opens a file it is handed as a double-click would; the shell
  // takes its file as a whole, and with ".exe" where it has none.
  // The folder is in quotation marks.
  bool folder = request.mode == LaunchMode::FolderBrowse;
  Text& given = folder ? request.parameters : request.file;
  size_t start = folder ? 1 : 0;
  size_t end = given.Length() - start;
  CandidateFile found = FindPart(finder, given, start, end, nullptr);
  if (found == CandidateFile::Missing && !folder) found = FindPart(finder, given, 0, end, ".exe");
  request.namesLauncher = found == CandidateFile::Launcher;
  return true;
}
