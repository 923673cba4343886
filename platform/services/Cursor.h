#pragma once

// The counted pointer display of the window system: the pointer is drawn while the count is 0 or
// more. Each call raises (show) or lowers (hide) the count by one and gives the new count.
int ShowCursor(bool show);
int CursorDisplayCount();
// The backend is told whenever drawing the pointer should change.
using CursorVisibilityHook = void (*)(bool visible);
void SetCursorVisibilityHook(CursorVisibilityHook hook);
// Back to the visible state with count 0, as at start-up (tests, and the program's end).
void ResetCursorDisplayCount();
