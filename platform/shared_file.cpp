#include "platform/shared_file.h"

#include <io.h>
#include <share.h>

#include <cerrno>
#include <climits>

#include "platform/fault_plan.h"

namespace platform {
namespace {

// The mode always names text or binary: the runtime's process-wide default
// may have been switched by the browser or another module.
std::FILE* OpenShared(const std::string& path, const char* mode) {
    return PLATFORM_CALL("_fsopen", nullptr, _fsopen(path.c_str(), mode, _SH_DENYNO));
}

// One character, or EOF; `failed` is set when the stream failed rather than
// ended.
int NextCharacter(std::FILE* file, bool& failed) {
    if (CallFails("getc")) {
        failed = true;
        return EOF;
    }
    const int c = std::getc(file);
    if (c == EOF && std::ferror(file)) failed = true;
    return c;
}

// Reads the rest of the stream; nothing when it failed.
std::optional<std::string> ReadRest(std::FILE* file, std::string content) {
    char chunk[65536];
    for (;;) {
        const size_t n = PLATFORM_CALL("fread", 0, std::fread(chunk, 1, sizeof chunk, file));
        content.append(chunk, n);
        if (n == sizeof chunk) continue;
        // A short read is the end only when the stream says so.
        if (std::ferror(file) || !std::feof(file)) return std::nullopt;
        return content;
    }
}

bool Flushed(std::FILE* file) { return PLATFORM_CALL("fflush", EOF, std::fflush(file)) == 0; }

// Closes the stream in any case; false when the close reported an error.
bool CloseStream(std::FILE* file) {
    const int closed = std::fclose(file);
    return !CallFails("fclose") && closed == 0;
}

// Writes `bytes` at the start of the stream, then cuts the file after them
// when it was longer than `longerThan` bytes.
bool WriteFromStart(std::FILE* file, std::string_view bytes, long long longerThan) {
    if (PLATFORM_CALL("_fseeki64", -1, _fseeki64(file, 0, SEEK_SET)) != 0) return false;
    if (PLATFORM_CALL("fwrite", 0, std::fwrite(bytes.data(), 1, bytes.size(), file)) !=
        bytes.size()) {
        return false;
    }
    if (!Flushed(file)) return false;
    const long long end = PLATFORM_CALL("_ftelli64", -1, _ftelli64(file));
    if (end < 0) return false;
    if (end >= longerThan) return true;
    return PLATFORM_CALL("_chsize_s", EACCES, _chsize_s(_fileno(file), end)) == 0;
}

}  // namespace

SharedFile SharedFile::OpenForReading(const std::string& path) {
    return SharedFile(OpenShared(path, "rt"));
}

SharedFile SharedFile::OpenForWriting(const std::string& path) {
    return SharedFile(OpenShared(path, "wt"));
}

SharedFile& SharedFile::operator=(SharedFile&& other) noexcept {
    if (this != &other) {
        if (file_) std::fclose(file_);
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

SharedFile::~SharedFile() {
    if (file_) std::fclose(file_);
}

std::optional<std::string> SharedFile::ReadLine() {
    if (!file_) return std::nullopt;
    std::string line;
    bool failed = false;
    for (int c; (c = NextCharacter(file_, failed)) != EOF && c != '\n';) {
        line += static_cast<char>(c);
    }
    if (failed) return std::nullopt;
    return line;
}

std::optional<std::string> SharedFile::ReadAll() {
    if (!file_) return std::nullopt;
    return ReadRest(file_, {});
}

bool SharedFile::Write(std::string_view bytes) {
    if (!file_) return false;
    return PLATFORM_CALL("fwrite", 0, std::fwrite(bytes.data(), 1, bytes.size(), file_)) ==
           bytes.size();
}

bool SharedFile::Close() {
    if (!file_) return false;
    std::FILE* file = file_;
    file_ = nullptr;
    return CloseStream(file);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = OpenShared(path, "rb");
    if (!file) return std::nullopt;
    std::string content;
    // The size is only a hint: the writer may still be growing the file.
    if (PLATFORM_CALL("_fseeki64", -1, _fseeki64(file, 0, SEEK_END)) == 0) {
        const long long size = PLATFORM_CALL("_ftelli64", -1, _ftelli64(file));
        if (size > 0 && static_cast<unsigned long long>(size) < content.max_size()) {
            content.reserve(static_cast<size_t>(size));
        }
    }
    // Back to the start, whatever the size query did.
    if (PLATFORM_CALL("_fseeki64", -1, _fseeki64(file, 0, SEEK_SET)) != 0) {
        std::fclose(file);
        return std::nullopt;
    }
    auto whole = ReadRest(file, std::move(content));
    if (!CloseStream(file)) return std::nullopt;
    return whole;
}

std::optional<bool> ReplaceSmallFile(const std::string& path, std::string_view content) {
    // Written in place, never truncated first: a file opened for writing
    // from empty would be lost to a write that then fails. A missing file is
    // created.
    std::FILE* file = OpenShared(path, "r+t");
    if (!file && errno == ENOENT) file = OpenShared(path, "w+t");
    if (!file) return std::nullopt;
    bool failed = false;
    std::string old;
    for (int c; (c = NextCharacter(file, failed)) != EOF;) old += static_cast<char>(c);
    const long long oldBytes = failed ? -1 : PLATFORM_CALL("_ftelli64", -1, _ftelli64(file));
    bool replaced = oldBytes >= 0 && WriteFromStart(file, content, oldBytes);
    if (!replaced && oldBytes >= 0) {
        // Put the old content back, whole, and cut whatever the new one
        // added after it.
        WriteFromStart(file, old, LLONG_MAX);
    }
    replaced = CloseStream(file) && replaced;
    return replaced;
}

bool CanOpenForReading(const std::string& path) {
    return SharedFile::OpenForReading(path).IsOpen();
}

bool RemoveFile(const std::string& path) {
    return PLATFORM_CALL("remove", -1, std::remove(path.c_str())) == 0;
}

}  // namespace platform
