#pragma once

#include <cstdint>
#include <string>

// The best-score file: one record of 4 bytes, the best hit count as a signed 32-bit integer in
// little-endian order, no header. Failures raise EInOutError with the runtime's codes.

// The start-up read: opens the existing file with read and write access (so a read-only file is
// refused with 5, a missing one with 2), reads the first 4 bytes and ignores the rest (100 when
// there are fewer), and closes it. Temporary files that an interrupted store left beside it are
// removed first; they are never read.
std::int32_t ReadBestScore(const std::string& path);

// The store at a game over: afterwards the file holds exactly the 4 bytes of `value`. A failure
// or a kill at any point leaves the old content instead, never an empty or partial file. A
// read-only file is refused with 5, a full disk with 101.
void StoreBestScore(const std::string& path, std::int32_t value);
