// Everything the launcher does between being started and ending.
#pragma once

#include "startup/launch_request.h"

/// Makes the one platform call the request stands for. Its result is not
/// examined, with one exception: a process start refused because the program
/// needs administrator rights goes to the shell, which can ask for them.
void IssueLaunchRequest(LaunchRequest& request);

/// Finds the settings beside the program, loads them, decides the request and
/// issues it. Returns the exit code, 0; the double-byte rule must be settled
/// first. Memory exhausted outside the settings load ends the program through
/// the last-resort report instead.
int RunStartupSequence();
