#include "platform/file_tree.h"

#include <windows.h>

#include "platform/fault_plan.h"
#include "platform/handle.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

constexpr DWORD kAttributesThatBlockReplacing =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "\\?\" paths are taken literally: a "." or ".." part, or a forward slash,
// would name something other than the narrow path does.
bool HasOnlyPlainParts(std::string_view path) {
    if (path.find('/') != std::string_view::npos) return false;
    if (path.find('\0') != std::string_view::npos) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find('\\', start);
        const std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

// The narrow file functions read paths in the ANSI code page, or the OEM one
// once a program has switched them over; a "\\?\" path is at most 32,767
// units long.
std::optional<std::wstring> Widen(std::string_view text) {
    return ToWide(AreFileApisANSI() ? CP_ACP : CP_OEMCP, text, 32767);
}

bool IsFolderAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool TreeEntry::IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
bool TreeEntry::IsHidden() const { return attributes & FILE_ATTRIBUTE_HIDDEN; }
bool TreeEntry::IsLink() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }

bool PathState::IsFolder() const { return kind == Kind::Present && IsFolderAttributes(attributes); }
bool PathState::IsLink() const {
    return kind == Kind::Present && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<TreePath> TreePath::FromNarrow(std::string_view path) {
    if (!HasOnlyPlainParts(path)) return std::nullopt;
    std::wstring prefix;
    std::string_view rest;
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        prefix = L"\\\\?\\";
        rest = path;
    } else if (path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\') {
        prefix = L"\\\\?\\UNC\\";
        rest = path.substr(2);
    } else {
        return std::nullopt;
    }
    auto wide = Widen(rest);
    if (!wide) return std::nullopt;
    if (wide->size() > 1 && wide->back() == L'\\') wide->pop_back();
    return TreePath(prefix + *wide);
}

TreePath TreePath::Child(const std::wstring& name) const {
    std::wstring text;
    text.reserve(text_.size() + 1 + name.size());
    text.append(text_).append(1, L'\\').append(name);
    return TreePath(std::move(text));
}

PathState StateOf(const TreePath& path) {
    PathState state;
    const DWORD attributes = PLATFORM_CALL("GetFileAttributesW", INVALID_FILE_ATTRIBUTES,
                                           GetFileAttributesW(path.Text().c_str()));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        state.kind = PathState::Kind::Present;
        state.attributes = attributes;
    } else if (IsNotFound(GetLastError())) {
        state.kind = PathState::Kind::Absent;
    }
    return state;
}

FolderListing ListFolder(const TreePath& folder) {
    FolderListing listing;
    const std::wstring pattern = folder.Text() + L"\\*";
    WIN32_FIND_DATAW data;
    const SearchHandle search(
        PLATFORM_CALL("FindFirstFileExW", INVALID_HANDLE_VALUE,
                      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH)));
    if (!search.IsValid()) {
        // A folder with no entries at all (a volume's root) is complete.
        listing.complete = GetLastError() == ERROR_FILE_NOT_FOUND && StateOf(folder).IsFolder();
        return listing;
    }
    do {
        const size_t length = wcsnlen(data.cFileName, MAX_PATH);
        const std::wstring_view name(data.cFileName, length);
        if (name == L"." || name == L"..") continue;
        TreeEntry& entry = listing.entries.emplace_back();
        entry.name.assign(name);
        entry.attributes = data.dwFileAttributes;
        entry.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    } while (PLATFORM_CALL("FindNextFileW", FALSE, FindNextFileW(search.Get(), &data)));
    listing.complete = GetLastError() == ERROR_NO_MORE_FILES;
    return listing;
}

bool RemoveEntry(const TreePath& path, const TreeEntry& entry) {
    const wchar_t* text = path.Text().c_str();
    const DWORD attributes = entry.attributes;
    const bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
    if (readOnly) {
        PLATFORM_CALL("SetFileAttributesW", FALSE,
                      SetFileAttributesW(text, attributes & ~FILE_ATTRIBUTE_READONLY));
    }
    // A link to a folder is a folder entry of its own: removing it leaves
    // its target untouched.
    const bool removed = entry.IsFolder()
                             ? PLATFORM_CALL("RemoveDirectoryW", FALSE, RemoveDirectoryW(text))
                             : PLATFORM_CALL("DeleteFileW", FALSE, DeleteFileW(text));
    if (removed || IsNotFound(GetLastError())) return true;
    if (readOnly) {  // what remains stays as it was
        PLATFORM_CALL("SetFileAttributesW", FALSE, SetFileAttributesW(text, attributes));
    }
    return false;
}

bool RemoveEmptyFolder(const TreePath& path, uint32_t attributes) {
    TreeEntry folder;
    folder.attributes = attributes | FILE_ATTRIBUTE_DIRECTORY;
    return RemoveEntry(path, folder);
}

FolderMade MakeFolder(const TreePath& path, uint32_t attributes) {
    if (PLATFORM_CALL("CreateDirectoryW", FALSE, CreateDirectoryW(path.Text().c_str(), nullptr))) {
        if (attributes & kAttributesThatBlockReplacing) {
            PLATFORM_CALL("SetFileAttributesW", FALSE,
                          SetFileAttributesW(path.Text().c_str(),
                                             attributes & kAttributesThatBlockReplacing));
        }
        return FolderMade::Created;
    }
    return StateOf(path).IsFolder() ? FolderMade::Existed : FolderMade::Failed;
}

bool CopyFileOnto(const TreePath& from, const TreePath& to, uint32_t attributes, bool mayExist) {
    const wchar_t* source = from.Text().c_str();
    const wchar_t* target = to.Text().c_str();
    auto copied = [&] {
        // Not every file system layer carries the attributes over itself.
        const DWORD kept = attributes & (kAttributesThatBlockReplacing | FILE_ATTRIBUTE_ARCHIVE);
        // A copy whose attributes could not be given is still a whole copy of
        // the bytes; the attributes are what Windows gave it.
        if (kept & kAttributesThatBlockReplacing) {
            PLATFORM_CALL("SetFileAttributesW", FALSE, SetFileAttributesW(target, kept));
        }
        return true;
    };
    // Into a new folder, a copy that refuses to replace anything needs no
    // look first; should something have appeared there, it is looked at.
    if (!mayExist) {
        if (PLATFORM_CALL("CopyFileW", FALSE, CopyFileW(source, target, TRUE))) return copied();
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    const PathState existing = StateOf(to);
    if (existing.kind == PathState::Kind::Unknown || existing.IsLink()) return false;
    const bool blocking = existing.kind == PathState::Kind::Present &&
                          (existing.attributes & kAttributesThatBlockReplacing);
    if (existing.kind == PathState::Kind::Present) {
        if (existing.attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
        // Windows refuses to replace a read-only file, and a hidden or system
        // one with a file that lacks those attributes.
        if (blocking) {
            PLATFORM_CALL("SetFileAttributesW", FALSE,
                          SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL));
        }
    }
    if (PLATFORM_CALL("CopyFileW", FALSE, CopyFileW(source, target, FALSE))) return copied();
    if (blocking) {  // left as it was
        PLATFORM_CALL("SetFileAttributesW", FALSE, SetFileAttributesW(target, existing.attributes));
    }
    return false;
}

std::optional<bool> SameObject(const TreePath& a, const TreePath& b) {
    auto identify = [](const TreePath& path) -> std::optional<BY_HANDLE_FILE_INFORMATION> {
        const FileHandle file(PLATFORM_CALL(
            "CreateFileW", INVALID_HANDLE_VALUE,
            CreateFileW(path.Text().c_str(), 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                        nullptr)));
        BY_HANDLE_FILE_INFORMATION info;
        if (!file.IsValid() || !PLATFORM_CALL("GetFileInformationByHandle", FALSE,
                                              GetFileInformationByHandle(file.Get(), &info))) {
            return std::nullopt;
        }
        return info;
    };
    const auto first = identify(a);
    const auto second = identify(b);
    if (!first || !second) return std::nullopt;
    return first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh &&
           first->nFileIndexLow == second->nFileIndexLow;
}

}  // namespace platform
