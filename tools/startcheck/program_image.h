// What a program file says about itself: whether it is a Windows program,
// for which processor, what rights its manifest asks for, and the strings of
// its version information. Read from the file's bytes alone, so that the same
// answer comes on any host.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

/// One string of the version information ("FileDescription" and its text).
struct VersionString {
  std::string key;    // ASCII, as every key Windows reads is
  std::string value;  // in UTF-8
};

struct ProgramImage {
  bool isImage = false;      // an MZ file with a PE header
  uint16_t machine = 0;      // 0x14C x86, 0x8664 x64, 0xAA64 ARM64
  bool hasManifest = false;  // an RT_MANIFEST resource
  /// The manifest's requestedExecutionLevel: "asInvoker",
  /// "requireAdministrator", "highestAvailable", or empty when none is given.
  std::string executionLevel;
  /// The strings of every table of the version information (RT_VERSION), in
  /// the file's order; empty when it has none, and short of those after a
  /// node that is cut or runs past its parent.
  std::vector<VersionString> versionStrings;
};

/// Reads the headers, the manifest and the version information; a file that
/// is no PE image, or is cut short, gives isImage false (or no resources).
ProgramImage ReadProgramImage(const std::string& bytes);

/// True for a level at which Windows asks for administrator rights (for a
/// user who has them, "highestAvailable" too).
bool AsksForAdministratorRights(const ProgramImage& image);
