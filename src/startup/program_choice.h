// Which program a request starts, as Windows finds it, and never the launcher
// itself: a launcher that starts itself reads the same settings and starts
// itself again, without end, and nothing useful ever runs.
#pragma once

#include "paths/text.h"
#include "startup/launch_request.h"

/// What a name stands for where Windows looks for a program.
enum class CandidateFile { Missing, Other, Launcher };

/// Looks the NUL-terminated `name` up as CreateProcessA looks for its program
/// (a relative name first in the launcher's own folder), with `extension`
/// (".exe", or null) added where its last name has none, as SearchPathA adds
/// it; and says whether it names no file, another file, or the launcher's own.
struct ProgramFinder {
  CandidateFile (*find)(void* context, const char* name, const char* extension);
  void* context;
};

/// True when `extension` is added to a name: its last name has no extension
/// ("Setup Files\setup", but not "setup.cmd" or "my.app\setup").
bool AddsExtension(const TextView& name);

/// Keeps the request from starting the launcher itself.
/// - ProcessStart, unquoted: Windows tries the text before each blank or tab
///   in turn, then the whole line, and starts the first that names a file.
///   When that file is the launcher, the next candidate that names another
///   file is started instead, in quotation marks, with the rest of the line
///   as its arguments (the command line changes only then); when there is none, nothing is started. Otherwise the
///   line stays as written, and `programLength` says where its program ends.
/// - ProcessStart, quoted: the program in the quotation marks.
/// - ShellOpen: the file as a whole, and with ".exe" when it has none.
/// - FolderBrowse: the folder handed to Explorer, which would run a program.
/// A request that can only start the launcher gets `namesLauncher`. The
/// candidates are cut in place, and the request's texts are as before when
/// this returns. False only when memory is exhausted.
[[nodiscard]] bool AvoidSelfStart(LaunchRequest& request, const ProgramFinder& finder);
