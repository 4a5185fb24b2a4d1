// Files opened through the C runtime without denying other processes read or
// write access: the desktop player and the producer of workspace calls may
// hold the same files open. A narrow path is read as the narrow file
// functions read it; a wide one is taken as it is. Every
// read and write says whether it worked: a stream error is never taken for
// the end of the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Owns one open stream and closes it on every path.
class SharedFile {
  public:
    // Read only, text mode ("rt").
    static SharedFile OpenForReading(const std::string& path);
    // Write only, text mode, created or truncated ("wt").
    static SharedFile OpenForWriting(const std::string& path);

    SharedFile(SharedFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    SharedFile& operator=(SharedFile&& other) noexcept;
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;
    ~SharedFile();

    bool IsOpen() const { return file_ != nullptr; }

    // Characters up to the first line feed or the end of the file; the line
    // feed is consumed, and text mode drops a carriage return before it.
    // Nothing when reading failed.
    std::optional<std::string> ReadLine();
    // Everything from here to the end of the file; nothing when reading
    // failed.
    std::optional<std::string> ReadAll();
    bool Write(std::string_view bytes);
    // Closes the stream; false when what was written could not be flushed.
    bool Close();

  private:
    explicit SharedFile(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

// Told the bytes read so far and the file's size as it was when opened;
// false stops the read.
using ReadProgress = std::function<bool(uint64_t done, uint64_t size)>;

// The whole file, read in binary mode; nothing when it cannot be opened or
// read to its end, or when `progress` stopped it. With `progress`, the file
// is read in parts of 1 MiB, each told.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         const ReadProgress& progress = {});
std::optional<std::string> ReadWholeFile(const std::wstring& path,
                                         const ReadProgress& progress = {});

// Replaces a small file's content with `content`, as text mode writes it:
// the file is opened for writing only and cut, then the new content goes
// out in one write, so a reader in another process sees the old content,
// nothing, or the new content. Nothing when the file could not be opened for
// writing. False when the new content is not whole on disk afterwards,
// judged by reading the file back after any failure; the old content and
// its modification time, when another open could read them, are then put
// back (a file this call created is removed).
std::optional<bool> ReplaceSmallFile(const std::string& path, std::string_view content);

// Whether the file can be opened for reading now (false for a folder).
bool CanOpenForReading(const std::string& path);

enum class ReadProbe {
    Opened,   // it could be opened for reading (and was closed again)
    Absent,   // nothing of that name
    Refused,  // something of that name that cannot be opened (a folder, a locked file)
};
ReadProbe ProbeForReading(const std::string& path);

// Deletes a file; false when it could not be deleted.
bool RemoveFile(const std::string& path);

}  // namespace platform
