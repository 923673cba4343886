#pragma once

// Whether the program's main window is the active window. The window system sets it; the sound
// mixer reads it from the audio thread, so it is a plain atomic flag.
bool MainWindowActive();
void SetMainWindowActive(bool active);
