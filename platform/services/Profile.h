#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Profile (INI) files, read and written the way the Windows profile functions do it: section and
// key names match without regard to case, the first of two equal sections or keys wins, blanks
// around names and values do not count, and a value in matching quotes loses them. A write
// changes the one line it must and leaves everything else in the file as it was.

// Values longer than this are cut, as by a 1024-byte buffer with its terminating zero.
inline constexpr std::size_t kProfileValueMax = 1023;

// The value of `key` in `section` of the file at `path`, or `defaultValue` when the file, the
// section or the key is missing or the file cannot be read.
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& path);

// Sets `key` in `section` of the file at `path`, creating the file, the section or the key as
// needed. The file is replaced as a whole (a new file beside it, flushed, then renamed over it),
// so a failure or a crash leaves the old file as it was. False when the file cannot be written,
// or when a name or the value cannot be stored in one line.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

// The same rules on a file's text, for the file functions above and for fuzzing.
namespace profile_text {
std::optional<std::string> Find(std::string_view text, std::string_view section, std::string_view key);
// The text with the key set; nullopt when a name or the value cannot be stored.
std::optional<std::string> Write(std::string_view text, std::string_view section, std::string_view key,
                                 std::string_view value);
}  // namespace profile_text
