#include "findings.h"

FindingKind KindOf(FindingCode code) {
  switch (code) {
    case FindingCode::TargetMissing:
      return {"target-missing", Severity::Error,
              "the program or file does not exist"};
    case FindingCode::NotAProgram:
      return {"not-a-program", Severity::Error,
              "a new process is asked for a file that is no Windows program (a document, an `.msi`); the fix: `ShellExec=1`, or `msiexec.exe /i` for a package with options"};
    case FindingCode::ShellOpenWithArguments:
      return {"shell-open-with-arguments", Severity::Error,
              "shell open was given arguments; it takes a file only"};
    case FindingCode::SettingsUtf8BomHidesSection:
      return {"settings-utf8-bom-hides-section", Severity::Error,
              "`[Information]` right after a UTF-8 byte-order mark on the first line: Windows' profile reader does not skip the mark and sees no such section (Wine's does: a known difference); save as ANSI or UTF-16, or put a blank or comment line first"};
    case FindingCode::StartsItself:
      return {"starts-itself", Severity::Error,
              "the request names the launcher itself (by its name, through `..`, through the shell or Explorer, or as the default target of a launcher in a folder named Installer): the launcher starts nothing"};
    case FindingCode::TargetNotCheckable:
      return {"target-not-checkable", Severity::Warning,
              "the target lies outside the media folder"};
    case FindingCode::UnquotedBlank:
      return {"unquoted-blank", Severity::Warning,
              "the program's path has a blank and is not quoted"};
    case FindingCode::LauncherFoundFirst:
      return {"launcher-found-first", Severity::Warning,
              "unquoted, the line's first word names the launcher itself (`Start Here\\Install.exe /S` beside `Start.exe`): the launcher passes over itself and starts the program meant, quoted; quote it yourself"};
    case FindingCode::QuotesRemoved:
      return {"quotes-removed", Severity::Warning,
              "`FileToRun=\"a b\\x.exe\"` with nothing after it: the profile reader removes the pair; write them twice"};
    case FindingCode::NeedsAdministratorRights:
      return {"needs-administrator-rights", Severity::Info,
              "the target's manifest asks for administrator rights: Windows will show its prompt (what installers do: nothing to change)"};
    case FindingCode::InstallerDetection:
      return {"installer-detection", Severity::Warning,
              "a 32-bit target without a requested execution level whose name, FileDescription, ProductName, CompanyName, InternalName or OriginalFilename holds setup, install or update: Windows will ask for the rights"};
    case FindingCode::Target64BitOnly:
      return {"target-64-bit-only", Severity::Warning,
              "the target is an x64 program: it does not run on 32-bit Windows"};
    case FindingCode::TargetArm64Only:
      return {"target-arm64-only", Severity::Warning,
              "the target is an ARM64 program: it runs neither on 32-bit nor on x64 Windows"};
    case FindingCode::FolderMissing:
      return {"folder-missing", Severity::Warning,
              "the folder for Explorer does not exist: Explorer opens its default view"};
    case FindingCode::BrowsePathAbsolute:
      return {"browse-path-absolute", Severity::Warning,
              "an absolute `BrowsePath` is put after the launcher's folder all the same"};
    case FindingCode::FlagNotANumber:
      return {"flag-not-a-number", Severity::Warning,
              "a flag's text is no number: the flag stays off, and what that causes"};
    case FindingCode::KeyMisspelt:
      return {"key-misspelt", Severity::Warning,
              "a key in `[Information]` close to one of the four names, and what its absence causes"};
    case FindingCode::KeyOutsideInformation:
      return {"key-outside-information", Severity::Warning,
              "one of the four keys in another section"};
    case FindingCode::ValueCut:
      return {"value-cut", Severity::Warning,
              "a value longer than 2047 bytes"};
    case FindingCode::SettingsIsAFolder:
      return {"settings-is-a-folder", Severity::Warning,
              "a folder bears the settings file's name"};
    case FindingCode::SettingsDateOutsideDosRange:
      return {"settings-date-outside-dos-range", Severity::Warning,
              "the settings file's date lies before 1980 or after 2107"};
    case FindingCode::SettingsHiddenExtension:
      return {"settings-hidden-extension", Severity::Warning,
              "`Start.ini.txt` instead of `Start.ini`"};
    case FindingCode::SettingsOtherName:
      return {"settings-other-name", Severity::Warning,
              "a settings file of another name with `[Information]` beside a renamed launcher"};
    case FindingCode::SettingsUtf8WithoutBom:
      return {"settings-utf8-without-bom", Severity::Warning,
              "a UTF-8 file without byte-order mark with non-ASCII text: Windows reads it as ANSI"};
    case FindingCode::SettingsUtf8WithBom:
      return {"settings-utf8-with-bom", Severity::Warning,
              "the same with a UTF-8 byte-order mark: Windows does not know the mark and reads the file as ANSI all the same"};
    case FindingCode::AutorunLinesInSettings:
      return {"autorun-lines-in-settings", Severity::Warning,
              "`[autorun]`, `open=`, `icon=` or `label=` in the settings file"};
    case FindingCode::LauncherMissing:
      return {"launcher-missing", Severity::Warning,
              "no launcher at the path yet: a planned layout"};
    case FindingCode::LauncherNameElevates:
      return {"launcher-name-elevates", Severity::Warning,
              "the launcher is a 32-bit program without a requested execution level, and its name or one of those version strings holds setup, install or update: installer detection asks for the rights before it starts, and what it starts inherits them (the release's launchers ask to run as the invoker, so this comes only from another build; a launcher not there yet is not judged by its name)"};
    case FindingCode::PathOutsideAscii:
      return {"path-outside-ascii", Severity::Warning,
              "a folder in the launcher's path, or its own name, holds characters outside ASCII; the message names which"};
    case FindingCode::AutorunWithoutOpen:
      return {"autorun-without-open", Severity::Warning,
              "the media root's `autorun.inf` has no `open=` line: it does not start the launcher"};
    case FindingCode::AutorunOpensAnotherProgram:
      return {"autorun-opens-another-program", Severity::Warning,
              "the media root's `autorun.inf` opens another program than the launcher"};
    case FindingCode::AutorunLabelTooLong:
      return {"autorun-label-too-long", Severity::Warning,
              "its `label=` is longer than Explorer shows"};
    case FindingCode::DefaultTarget:
      return {"default-target", Severity::Info,
              "the default target is used, why, and where it points"};
    case FindingCode::LauncherAsksForRights:
      return {"launcher-asks-for-rights", Severity::Info,
              "the launcher's own manifest asks for `requireAdministrator` or `highestAvailable`: Windows asks before the launcher starts, and what it starts inherits the rights"};
    case FindingCode::AutorunWithoutIcon:
      return {"autorun-without-icon", Severity::Info,
              "`autorun.inf` gives no drive icon"};
    case FindingCode::AutorunOpticalOnly:
      return {"autorun-optical-only", Severity::Info,
              "Windows 7 and later follow `open=` on CDs and DVDs only"};
  }
  return {"", Severity::Error, ""};
}
