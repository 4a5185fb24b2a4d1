#include "platform/shared_file.h"

#include <share.h>

namespace platform {
namespace {

// The mode always names text or binary: the runtime's process-wide default
// may have been switched by the browser or another module.
std::FILE* OpenShared(const std::string& path, const char* mode) {
    return _fsopen(path.c_str(), mode, _SH_DENYNO);
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

std::string SharedFile::ReadLine() {
    std::string line;
    if (!file_) return line;
    for (int c; (c = std::getc(file_)) != EOF && c != '\n';) line += static_cast<char>(c);
    return line;
}

std::string SharedFile::ReadAll() {
    std::string content;
    if (!file_) return content;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) content.append(chunk, n);
    return content;
}

bool SharedFile::Write(std::string_view bytes) {
    if (!file_) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = OpenShared(path, "rb");
    if (!file) return std::nullopt;
    std::string content;
    // The size is only a hint: the writer may still be growing the file.
    if (_fseeki64(file, 0, SEEK_END) == 0) {
        const long long size = _ftelli64(file);
        if (size > 0 && static_cast<unsigned long long>(size) < content.max_size()) {
            content.reserve(static_cast<size_t>(size));
        }
        _fseeki64(file, 0, SEEK_SET);
    }
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, n);
    std::fclose(file);
    return content;
}

bool CanOpenForReading(const std::string& path) {
    return SharedFile::OpenForReading(path).IsOpen();
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

}  // namespace platform
