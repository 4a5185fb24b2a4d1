#include "platform/log_file.h"

#include <windows.h>
// windows.h first: the security declarations build on it.
#include <aclapi.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "platform/file_tree.h"
#include "platform/handle.h"
#include "platform/narrow_text.h"

namespace platform {
namespace {

// Whether an open file belongs to the user this process runs as: its owner
// is the user, or the owner the user's token gives what it makes (the
// Administrators group, for an administrator).
bool OwnedByThisUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const std::unique_ptr<void, decltype(&LocalFree)> heldDescriptor(descriptor, &LocalFree);
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const KernelHandle heldToken(token);
    for (const TOKEN_INFORMATION_CLASS asked : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, asked, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size == 0 || !GetTokenInformation(token, asked, buffer.data(), size, &size)) continue;
        // Both records begin with the SID's pointer.
        const PSID sid = *reinterpret_cast<PSID*>(buffer.data());
        if (owner && EqualSid(owner, sid)) return true;
    }
    return false;
}

// The log's folder, held, and the file's name in it.
struct LogPlace {
    HeldFolder folder;
    std::wstring name;
};
std::optional<LogPlace> PlaceOf(const std::string& path) {
    if (path.empty() || !IsUsablePath(path)) return std::nullopt;
    const auto tree = TreePath::FromNarrow(path);
    const auto parent = tree ? tree->Parent() : std::nullopt;
    if (!parent) return std::nullopt;
    auto folder = HeldFolder::Open(*parent, HeldFolder::Use::Read);
    if (!folder) return std::nullopt;
    return LogPlace{std::move(*folder), tree->Name()};
}

constexpr DWORD kAppend = FILE_APPEND_DATA | READ_CONTROL | DELETE;

// The log file itself, opened so: never through a link, never a file with
// another name, never another user's.
FileHandle OpenOwn(const LogPlace& place, DWORD access, bool make, LogFileState* state = nullptr) {
    HeldFolder::SoleFile why = HeldFolder::SoleFile::Failed;
    FileHandle file(place.folder.OpenSoleFile(place.name, access | READ_CONTROL, make, &why));
    LogFileState found = LogFileState::Unreadable;
    switch (why) {
        case HeldFolder::SoleFile::Opened:
            found = OwnedByThisUser(file.Get()) ? LogFileState::Usable : LogFileState::OtherOwner;
            break;
        case HeldFolder::SoleFile::Absent:
            found = LogFileState::Absent;
            break;
        case HeldFolder::SoleFile::Link:
            found = LogFileState::Link;
            break;
        case HeldFolder::SoleFile::OtherNames:
            found = LogFileState::OtherNames;
            break;
        case HeldFolder::SoleFile::NotAFile:
            found = LogFileState::NotAFile;
            break;
        case HeldFolder::SoleFile::Failed:
            break;
    }
    if (state) *state = found;
    if (found != LogFileState::Usable) file.Reset(INVALID_HANDLE_VALUE);
    return file;
}

}  // namespace

LogFileState InspectLogFile(const std::string& path) {
    const auto place = PlaceOf(path);
    if (!place) return LogFileState::Unreadable;
    LogFileState state = LogFileState::Unreadable;
    OpenOwn(*place, FILE_READ_ATTRIBUTES, false, &state);
    return state;
}

void AppendLogLine(const std::string& path, const std::string& line, uint64_t rotateAtBytes) {
    const auto place = PlaceOf(path);
    if (!place) return;
    FileHandle file = OpenOwn(*place, kAppend, true);
    if (!file.IsValid()) return;
    LARGE_INTEGER size{};
    std::string text = line;
    if (GetFileSizeEx(file.Get(), &size) && static_cast<uint64_t>(size.QuadPart) >= rotateAtBytes) {
        // The file that was checked is the one renamed or begun again, by
        // its handle: whatever its name leads to by then is not touched.
        if (place->folder.RenameHere(file.Get(), place->name + L".1")) {
            file = OpenOwn(*place, kAppend, true);
        } else {
            // The older log cannot be replaced (a folder of its name, a file
            // held open): the log begins again from nothing rather than grow
            // past its bound, and says why.
            const FileHandle whole = OpenOwn(*place, FILE_WRITE_DATA, false);
            FILE_END_OF_FILE_INFO end{};
            if (!whole.IsValid() ||
                !SetFileInformationByHandle(whole.Get(), FileEndOfFileInfo, &end, sizeof end)) {
                return;
            }
            text = UtcTimestamp() + " the log was begun again: " + path +
                   ".1 could not be replaced\r\n" + line;
        }
        if (!file.IsValid()) return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ExpandEnvironment(const std::string& text) {
    if (text.find('%') == std::string::npos || !IsWholeText(text)) return text;
    std::string expanded(text.size() + 256, '\0');
    for (;;) {
        const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), expanded.data(),
                                                       static_cast<DWORD>(expanded.size()));
        if (needed == 0) return text;
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1);
            return expanded;
        }
        expanded.resize(needed);
    }
}

std::string UtcTimestamp() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
