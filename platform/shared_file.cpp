#include "platform/shared_file.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/fault_plan.h"
#include "platform/narrow_text.h"

namespace platform {
namespace {

// The mode always names text or binary: the runtime's process-wide default
// may have been switched by the browser or another module.
std::FILE* OpenShared(const std::wstring& path, const wchar_t* mode) {
    if (!IsWholeText(path)) {
        errno = EINVAL;
        return nullptr;
    }
    return PLATFORM_CALL("_wfsopen", nullptr, _wfsopen(path.c_str(), mode, _SH_DENYNO));
}

// A narrow path is read as the runtime's narrow functions read it.
std::FILE* OpenShared(const std::string& path, const wchar_t* mode) {
    const auto wide = WidePathOf(path);
    if (!wide) {
        errno = EINVAL;
        return nullptr;
    }
    return OpenShared(*wide, mode);
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

// Closes the stream in any case; false when the close reported an error.
bool CloseStream(std::FILE* file) {
    const int closed = std::fclose(file);
    return !CallFails("fclose") && closed == 0;
}

// What text mode would put on the disk for `content`: each line feed goes
// out as a carriage return and a line feed.
std::string AsTextModeBytes(std::string_view content) {
    std::string bytes;
    bytes.reserve(content.size() + 8);
    for (const char c : content) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
}

// One file opened by descriptor, in binary mode and without denying other
// processes anything: no stream buffer stands between a write and the file,
// so a content goes out in one write.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) _close(fd_);
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) _close(fd_);
    }

    static Descriptor Open(const std::string& path, int flags) {
        int fd = -1;
        if (!IsWholeText(path)) {
            errno = EINVAL;
            return Descriptor(-1);
        }
        const errno_t error = PLATFORM_CALL(
            "_sopen_s", EACCES,
            _sopen_s(&fd, path.c_str(), flags | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE));
        if (error != 0) {
            errno = error;
            return Descriptor(-1);
        }
        return Descriptor(fd);
    }

    bool IsOpen() const { return fd_ >= 0; }

    std::optional<std::string> ReadAll() {
        std::string content;
        char chunk[4096];
        for (;;) {
            const int n = PLATFORM_CALL("_read", -1, _read(fd_, chunk, sizeof chunk));
            if (n < 0) return std::nullopt;
            if (n == 0) return content;
            content.append(chunk, static_cast<size_t>(n));
        }
    }

    // The file's last write time, to be put back with the old content.
    std::optional<FILETIME> LastWritten() const {
        FILETIME written{};
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
        if (!PLATFORM_CALL("GetFileTime", FALSE, GetFileTime(handle, nullptr, nullptr, &written))) {
            return std::nullopt;
        }
        return written;
    }
    void SetLastWritten(const FILETIME& written) {
        const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
        PLATFORM_CALL("SetFileTime", FALSE, SetFileTime(handle, nullptr, nullptr, &written));
    }

    // Cuts the file to nothing, then writes `bytes` from its start.
    bool ReplaceWith(std::string_view bytes) {
        if (PLATFORM_CALL("_chsize_s", EACCES, _chsize_s(fd_, 0)) != 0) return false;
        if (PLATFORM_CALL("_lseeki64", -1, _lseeki64(fd_, 0, SEEK_SET)) != 0) return false;
        size_t done = 0;
        while (done < bytes.size()) {
            const size_t step = std::min<size_t>(bytes.size() - done, INT_MAX);
            const int n = PLATFORM_CALL(
                "_write", -1, _write(fd_, bytes.data() + done, static_cast<unsigned>(step)));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Closes the file; false when the close reported an error.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        const int closed = _close(fd);
        return !CallFails("_close") && closed == 0;
    }

  private:
    int fd_;
};

// Puts `old` back into the file at `path` as it was, with its modification
// time, so that a reader that watches either sees no new command.
void PutBack(const std::string& path, std::string_view old, const std::optional<FILETIME>& time) {
    Descriptor file = Descriptor::Open(path, _O_WRONLY);
    if (!file.IsOpen() || !file.ReplaceWith(old)) return;
    if (time) file.SetLastWritten(*time);
    file.Close();
}

}  // namespace

SharedFile SharedFile::OpenForReading(const std::string& path) {
    return SharedFile(OpenShared(path, L"rt"));
}

SharedFile SharedFile::OpenForWriting(const std::string& path) {
    return SharedFile(OpenShared(path, L"wt"));
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

std::optional<std::string> ReadWholeFile(const std::string& path, const ReadProgress& progress) {
    const auto wide = WidePathOf(path);
    return wide ? ReadWholeFile(*wide, progress) : std::nullopt;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path, const ReadProgress& progress) {
    std::FILE* file = OpenShared(path, L"rb");
    if (!file) return std::nullopt;
    std::string content;
    // The size is only a hint: the writer may still be growing or cutting
    // the file. What it promises is read straight into the text, in one
    // read; whatever follows is read after it.
    if (PLATFORM_CALL("_fseeki64", -1, _fseeki64(file, 0, SEEK_END)) == 0) {
        const long long size = PLATFORM_CALL("_ftelli64", -1, _ftelli64(file));
        if (size > 0 && static_cast<unsigned long long>(size) < content.max_size() / 2) {
            content.resize(static_cast<size_t>(size));
        }
    }
    // Back to the start, whatever the size query did.
    if (PLATFORM_CALL("_fseeki64", -1, _fseeki64(file, 0, SEEK_SET)) != 0) {
        std::fclose(file);
        return std::nullopt;
    }
    // Followed, the promised part is read in steps, each told.
    constexpr size_t kStep = 1 << 20;
    const size_t step = progress ? kStep : std::max<size_t>(content.size(), 1);
    size_t got = 0;
    while (got < content.size()) {
        const size_t want = std::min(step, content.size() - got);
        const size_t n = PLATFORM_CALL("fread", 0, std::fread(content.data() + got, 1, want, file));
        got += n;
        if (n != want) break;
        if (progress && !progress(got, content.size())) {
            std::fclose(file);
            return std::nullopt;
        }
    }
    std::optional<std::string> whole;
    if (got == content.size() || (!std::ferror(file) && std::feof(file))) {
        content.resize(got);
        whole = ReadRest(file, std::move(content));
    }
    if (!CloseStream(file)) return std::nullopt;
    return whole;
}

std::optional<bool> ReplaceSmallFile(const std::string& path, std::string_view content) {
    // The old content, to be put back if the new one cannot be written, is
    // read first: through the same open when the file may be read and
    // written, else (a player may hold it sharing writes but not reads) the
    // file is opened for writing only and the old content read through an
    // open of its own when one is allowed. A reader in another process may
    // see the file empty between the cut and the write, which a player takes
    // as nothing new; it never sees a mix of two contents.
    bool created = false;
    Descriptor file = Descriptor::Open(path, _O_RDWR);
    const bool readable = file.IsOpen();
    if (!file.IsOpen() && errno != ENOENT) file = Descriptor::Open(path, _O_WRONLY);
    if (!file.IsOpen() && errno == ENOENT) {
        file = Descriptor::Open(path, _O_WRONLY | _O_CREAT | _O_EXCL);
        created = file.IsOpen();
    }
    if (!file.IsOpen()) return std::nullopt;
    std::optional<std::string> old;
    std::optional<FILETIME> oldTime;
    if (readable) {
        old = file.ReadAll();
        if (!old) return std::nullopt;
        oldTime = file.LastWritten();
    } else if (!created) {
        Descriptor reader = Descriptor::Open(path, _O_RDONLY);
        if (reader.IsOpen()) {
            // Opened but not read: what could not be put back is not cut.
            old = reader.ReadAll();
            if (!old) return std::nullopt;
            oldTime = reader.LastWritten();
        }
    }
    const std::string bytes = AsTextModeBytes(content);
    const bool written = file.ReplaceWith(bytes);
    if (written && file.Close()) return true;
    // Something failed: the answer is what the disk holds now.
    if (file.IsOpen()) file.Close();
    if (ReadWholeFile(path) == bytes) return true;
    if (created) {
        RemoveFile(path);
    } else if (old) {
        PutBack(path, *old, oldTime);
    }
    return false;
}

ReadProbe ProbeForReading(const std::string& path) {
    SharedFile file = SharedFile::OpenForReading(path);
    if (file.IsOpen()) return ReadProbe::Opened;
    return errno == ENOENT ? ReadProbe::Absent : ReadProbe::Refused;
}

bool CanOpenForReading(const std::string& path) {
    return SharedFile::OpenForReading(path).IsOpen();
}

bool RemoveFile(const std::string& path) {
    if (!IsWholeText(path)) return false;
    return PLATFORM_CALL("remove", -1, std::remove(path.c_str())) == 0;
}

}  // namespace platform
