// What a debugger, or Wine's +debugstr channel, is told.
#pragma once

/// OutputDebugStringA: shown only where something listens.
void WriteDebugText(const char* text);
