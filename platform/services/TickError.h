#pragma once

#include <string>

// Nothing on a timer service's thread catches what a tick handler lets escape, and the error box
// serves the window thread only. So the service stops the tick there and leaves one line on stderr
// rather than ending the process or losing the error.

// The one line (no newline) naming the error in flight and its message. Call inside a catch block.
std::string CurrentTickErrorLine();
// Writes that line to stderr in a single write, so that lines from two threads never mix.
void ReportTickErrorLine(const std::string& line);
