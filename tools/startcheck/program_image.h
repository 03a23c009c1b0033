// What a program file says about itself: whether it is a Windows program,
// for which processor, and what rights its manifest asks for. Read from the
// file's bytes alone, so that the same answer comes on any host.
#pragma once

#include <stdint.h>

#include <string>

struct ProgramImage {
  bool isImage = false;      // an MZ file with a PE header
  uint16_t machine = 0;      // 0x14C x86, 0x8664 x64, 0xAA64 ARM64
  bool hasManifest = false;  // an RT_MANIFEST resource
  /// The manifest's requestedExecutionLevel: "asInvoker",
  /// "requireAdministrator", "highestAvailable", or empty when none is given.
  std::string executionLevel;
};

/// Reads the headers and the manifest resource; a file that is no PE image,
/// or is cut short, gives isImage false (or no manifest).
ProgramImage ReadProgramImage(const std::string& bytes);

/// True for a level at which Windows asks for administrator rights (for a
/// user who has them, "highestAvailable" too).
bool AsksForAdministratorRights(const ProgramImage& image);
