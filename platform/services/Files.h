#pragma once

#include <cstddef>
#include <string>

#include "platform/core/Exception.h"

// Small file operations in the manner of the Windows file functions the game was designed on:
// every failure raises EInOutError with a Windows-style code, so the player sees the runtime's
// texts ("ﾌｧｲﾙが見つかりません", "ﾌｧｲﾙへのｱｸｾｽが拒否されました", ...).

// The Windows-style code for an errno value: 2 missing file, 3 bad name or missing directory,
// 4 too many open files, 5 access refused, 32 held by another program, 101 disk full, and the
// nearest Windows code for the rest. An errno with no counterpart keeps its number with the
// "application-defined" bit 29 set, so it can never be mistaken for a system code.
int InOutErrorCode(int err);
[[noreturn]] void RaiseInOutError(int err);

// One open file. Closed by Close(), which reports the close's error, or by the destructor,
// which cannot and drops it.
class TFileHandle {
public:
    // Opens an existing regular file with read and write access, so a file that could only be
    // read is refused with code 5. A file locked exclusively by another program (flock, or a
    // record lock over it) is refused with code 32.
    static TFileHandle OpenExisting(const std::string& path);

    TFileHandle(TFileHandle&& other) noexcept;
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    ~TFileHandle();

    // Reads one record of `size` bytes; fewer bytes before the end of the file raise code 100.
    void ReadRecord(void* record, std::size_t size);
    void Close();

private:
    explicit TFileHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Replaces the whole content of the file at `path` with `size` bytes, so that an error, a kill
// or a power cut at any moment leaves either the old content or the new one, never an empty or
// partial file. A missing file is created. An existing file that cannot be opened for writing
// is refused as it would be by an in-place write (code 5 when read-only), and the new content
// keeps the file's permission bits and owner. A symbolic link is followed and its target
// replaced. Where the directory cannot take a file beside the old one, the old file is
// overwritten in place instead (new bytes first, then the length), which still never empties it.
void ReplaceFileContent(const std::string& path, const void* data, std::size_t size);

// Deletes the temporary files an interrupted ReplaceFileContent(path, ...) left beside `path`:
// those whose process has ended, or that are older than any store takes. Errors are ignored.
void RemoveStaleReplacements(const std::string& path);

// True if `name` is the name of a temporary file that ReplaceFileContent makes for a file
// called `baseName` (both without a directory).
bool IsReplacementName(const std::string& name, const std::string& baseName);
