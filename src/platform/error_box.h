// The one message the launcher can ever show.
#pragma once

/// MessageBoxA with no owner, an OK button, the stop icon and task-modal
/// behaviour (0x2010). Returns when the user closes it.
void ShowErrorBox(const char* title, const char* text);
