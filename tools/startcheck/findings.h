// The catalogue of what the checker can say: one code per finding, its
// severity, and the one-line meaning that docs/startcheck.md shows (a test
// holds the two, and the JSON Schema's list of codes, in step).
#pragma once

/// Info: worth knowing, changes nothing. Warning: it works, but not as the
/// author may think, or not everywhere. Error: nothing the author meant
/// would start.
enum class Severity { Info, Warning, Error };

enum class FindingCode {
  TargetMissing,
  NotAProgram,
  ShellOpenWithArguments,
  SettingsUtf8BomHidesSection,
  StartsItself,
  TargetNotCheckable,
  UnquotedBlank,
  LauncherFoundFirst,
  QuotesRemoved,
  NeedsAdministratorRights,
  InstallerDetection,
  Target64BitOnly,
  TargetArm64Only,
  FolderMissing,
  BrowsePathAbsolute,
  FlagNotANumber,
  KeyMisspelt,
  KeyOutsideInformation,
  ValueCut,
  SettingsIsAFolder,
  SettingsDateOutsideDosRange,
  SettingsHiddenExtension,
  SettingsOtherName,
  SettingsUtf8WithoutBom,
  SettingsUtf8WithBom,
  AutorunLinesInSettings,
  LauncherMissing,
  LauncherNameElevates,
  PathOutsideAscii,
  AutorunWithoutOpen,
  AutorunOpensAnotherProgram,
  AutorunLabelTooLong,
  DefaultTarget,
  LauncherAsksForRights,
  AutorunWithoutIcon,
  AutorunOpticalOnly,
};

/// The number of codes; they run from 0 up.
constexpr int kFindingCodeCount = static_cast<int>(FindingCode::AutorunOpticalOnly) + 1;

struct FindingKind {
  const char* code;  // stable, for scripts: "target-missing"
  Severity severity;
  const char* meaning;  // as docs/startcheck.md shows it (Markdown)
};

/// What the catalogue says of a code. A switch, so that a code without an
/// entry stops the build.
FindingKind KindOf(FindingCode code);
