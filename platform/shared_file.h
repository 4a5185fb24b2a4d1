// Files opened through the C runtime without denying other processes read or
// write access: the desktop player and the producer of workspace calls may
// hold the same files open. Paths are narrow text, passed on as bytes.
#pragma once

#include <cstdio>
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
    std::string ReadLine();
    // Everything from here to the end of the file.
    std::string ReadAll();
    bool Write(std::string_view bytes);

  private:
    explicit SharedFile(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

// The whole file, read in binary mode; nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Whether the file can be opened for reading now (false for a folder).
bool CanOpenForReading(const std::string& path);

// Deletes a file; false when it could not be deleted.
bool RemoveFile(const std::string& path);

}  // namespace platform
