#include "tests/support/long_paths.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "tests/support/child_process.h"

namespace fs = std::filesystem;

namespace testing_support {
namespace {

void ForEachEntry(const fs::path& folder, const auto& visit) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((LongForm(folder) + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") visit(name, data);
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

std::string ReadLong(const fs::path& file) {
    HANDLE handle = CreateFileW(LongForm(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "<unreadable>";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(handle);
    return bytes;
}

void Collect(const fs::path& folder, const std::string& prefix, std::vector<std::string>& lines) {
    ForEachEntry(folder, [&](const std::wstring& name, const WIN32_FIND_DATAW& data) {
        const fs::path path = folder / name;
        std::string line = prefix + fs::path(name).string();
        const DWORD a = data.dwFileAttributes;
        if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
            line += " -> link";
        } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
            line += "/";
            Collect(path, line, lines);
        } else {
            // The size and a hash of the bytes: short, and different for any change.
            const std::string bytes = ReadLong(path);
            uint32_t hash = 2166136261u;
            for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
            line += " " + std::to_string(bytes.size()) + " #" + std::to_string(hash);
        }
        if (a & FILE_ATTRIBUTE_HIDDEN) line += " H";
        if (a & FILE_ATTRIBUTE_READONLY) line += " R";
        lines.push_back(line);
    });
}

// Under Wine: runs a program of the Unix system Wine runs on, on the Unix
// names of two paths. False elsewhere, or when it did not run.
bool RunUnixCommand(const std::string& command, const fs::path& first, const fs::path& second) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    char* firstText = unixName(first.wstring().c_str());
    char* secondText = unixName(second.wstring().c_str());
    bool ran = false;
    if (firstText && secondText) {
        ChildProcess child("start.exe /wait /unix " + command + " \"" + firstText + "\" \"" +
                           secondText + "\"");
        ran = child.Started() && child.WaitForExit(120000) && child.ExitCode() == 0;
    }
    HeapFree(GetProcessHeap(), 0, firstText);
    HeapFree(GetProcessHeap(), 0, secondText);
    return ran;
}

}  // namespace

std::wstring LongForm(const fs::path& path) { return L"\\\\?\\" + path.wstring(); }

void MakeLongFolders(const fs::path& folder) {
    const std::wstring text = folder.wstring();
    // Each level after the drive's root, in turn.
    for (size_t at = text.find(L'\\', 3);; at = text.find(L'\\', at + 1)) {
        const std::wstring level = text.substr(0, at);
        CreateDirectoryW((L"\\\\?\\" + level).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
    if (!(GetFileAttributesW(LongForm(folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
        throw std::runtime_error("cannot create " + folder.string());
    }
}

void WriteLong(const fs::path& file, const std::string& bytes, DWORD attributes) {
    HANDLE handle = CreateFileW(LongForm(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + file.string());
    DWORD written = 0;
    const bool ok =
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(handle);
    if (!ok) throw std::runtime_error("short write to " + file.string());
    SetFileAttributesW(LongForm(file).c_str(), attributes);
}

bool LongExists(const fs::path& path) {
    return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string LongTree(const fs::path& folder) {
    std::vector<std::string> lines;
    Collect(folder, "", lines);
    std::sort(lines.begin(), lines.end());
    std::string tree;
    for (const auto& line : lines) tree += line + "\n";
    return tree;
}

bool RemoveLongTree(const fs::path& path) {
    const std::wstring text = LongForm(path);
    const DWORD attributes = GetFileAttributesW(text.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLink(path);
    SetFileAttributesW(text.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::vector<std::wstring> names;
        ForEachEntry(path, [&](const std::wstring& name, const WIN32_FIND_DATAW&) {
            names.push_back(name);
        });
        for (const auto& name : names) RemoveLongTree(path / name);
        RemoveDirectoryW(text.c_str());
    } else {
        DeleteFileW(text.c_str());
    }
    return GetFileAttributesW(text.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveLink(const fs::path& link) {
    // Wine acts on what a Unix link leads to: the Unix rm removes the link
    // alone. Elsewhere the Windows calls remove a link as itself.
    const std::wstring text = LongForm(link);
    const auto gone = [&] { return !ListedInParent(link); };
    // On a busy machine the host program may not start, or start late: it
    // is asked again.
    if (GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            RunUnixCommand("/bin/rm -f --", link, link);
            if (WaitUntil(gone, 20000)) return true;
        }
        return false;
    }
    const DWORD attributes = GetFileAttributesW(text.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        RemoveDirectoryW(text.c_str());
    } else {
        DeleteFileW(text.c_str());
    }
    return gone();
}

bool ListedInParent(const fs::path& path) {
    bool listed = false;
    ForEachEntry(path.parent_path(), [&](const std::wstring& name, const WIN32_FIND_DATAW&) {
        listed = listed || CompareStringOrdinal(name.c_str(), -1, path.filename().c_str(), -1,
                                                TRUE) == CSTR_EQUAL;
    });
    return listed;
}

bool OpensAsItself(const fs::path& link) {
    HANDLE handle =
        CreateFileW(LongForm(link).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool reparse = GetFileInformationByHandle(handle, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    CloseHandle(handle);
    return reparse;
}

bool IsLink(const fs::path& path) {
    if (OpensAsItself(path)) return true;
    // Opened as what it leads to: the file system names another path.
    auto finalPath = [](const fs::path& of) {
        HANDLE handle = CreateFileW(LongForm(of).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        std::wstring text(32768, L'\0');
        const DWORD length = handle == INVALID_HANDLE_VALUE
                                 ? 0
                                 : GetFinalPathNameByHandleW(handle, text.data(),
                                                             static_cast<DWORD>(text.size()), 0);
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        text.resize(length < text.size() ? length : 0);
        return text;
    };
    const std::wstring opened = finalPath(path);
    const std::wstring parent = finalPath(path.parent_path());
    const std::wstring named = parent + L"\\" + path.filename().wstring();
    return !opened.empty() && !parent.empty() &&
           CompareStringOrdinal(opened.c_str(), -1, named.c_str(), -1, TRUE) != CSTR_EQUAL;
}

bool MakeJunction(const fs::path& link, const fs::path& target) {
    if (!CreateDirectoryW(LongForm(link).c_str(), nullptr)) return false;
    HANDLE folder = CreateFileW(LongForm(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    // A mount-point reparse buffer: the NT path, then the path to print.
    const std::wstring nt = L"\\??\\" + target.wstring(), print = target.wstring();
    const size_t names = (nt.size() + 1 + print.size() + 1) * sizeof(wchar_t);
    std::vector<BYTE> buffer(16 + names);
    const WORD header[] = {0, static_cast<WORD>(nt.size() * 2),
                           static_cast<WORD>((nt.size() + 1) * 2),
                           static_cast<WORD>(print.size() * 2)};
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD length = static_cast<WORD>(buffer.size() - 8);
    std::memcpy(buffer.data(), &tag, 4);
    std::memcpy(buffer.data() + 4, &length, 2);
    std::memcpy(buffer.data() + 8, header, sizeof header);
    std::memcpy(buffer.data() + 16, nt.c_str(), (nt.size() + 1) * 2);
    std::memcpy(buffer.data() + 16 + (nt.size() + 1) * 2, print.c_str(), (print.size() + 1) * 2);
    DWORD got = 0;
    const bool made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &got, nullptr);
    CloseHandle(folder);
    if (!made) RemoveDirectoryW(LongForm(link).c_str());
    return made;
}

const char* NameOf(LinkKind kind) {
    constexpr const char* kNames[] = {"symbolic link", "junction", "hard link"};
    return kNames[static_cast<int>(kind)];
}

const char* TestNameOf(LinkKind kind) {
    constexpr const char* kNames[] = {"SymbolicLink", "Junction", "HardLink"};
    return kNames[static_cast<int>(kind)];
}

bool MakeLink(const fs::path& link, const fs::path& target, LinkKind kind) {
    auto isLink = [&] { return IsLink(link); };
    const DWORD target_attributes = GetFileAttributesW(LongForm(target).c_str());
    const bool folder = target_attributes != INVALID_FILE_ATTRIBUTES &&
                        (target_attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (kind == LinkKind::Junction) return folder && MakeJunction(link, target) && isLink();
    if (kind == LinkKind::Hard) {
        return !folder &&
               CreateHardLinkW(LongForm(link).c_str(), LongForm(target).c_str(), nullptr);
    }
    // SYMBOLIC_LINK_FLAG_DIRECTORY for a folder, and
    // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(),
                            (folder ? 0x1 : 0x0) | 0x2) &&
        isLink()) {
        return true;
    }
    // What a stub may have left.
    if (folder) {
        RemoveDirectoryW(link.wstring().c_str());
    } else {
        DeleteFileW(link.wstring().c_str());
    }
    // Windows without the privilege: no symbolic link. Only Wine runs the
    // host's programs.
    if (!GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")) return false;
    // start.exe does not wait for a host program, whatever /wait says: the
    // link appears when ln has run, which on a busy machine takes a while.
    if (!RunUnixCommand("/bin/ln -s", target, link) ||
        !WaitUntil([&] { return LongExists(link); }, 60000)) {
        return false;
    }
    if (isLink()) return true;
    RemoveLink(link);
    return false;
}

}  // namespace testing_support
