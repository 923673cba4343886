#pragma once

// The program's life on an installed window system: the application titled "Zimbrot", the main
// window made from its layout, the message loop, and the shutdown. Gives the exit code: 0 after
// a normal end, 1 after the fatal error box.
int RunZimbrot();
