#include "platform/version_info.h"

#include <windows.h>

#include <vector>

#include "platform/handle.h"
#include "platform/wide_text.h"

namespace platform {

std::optional<std::string> FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info) {
        return std::nullopt;
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

std::optional<std::string> FileVersionText(const std::wstring& path, const std::wstring& name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::nullopt;
    const WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(const_cast<WORD**>(&translation)), &length) ||
        !translation || length < 2 * sizeof(WORD)) {
        return std::nullopt;
    }
    wchar_t block[32];
    swprintf(block, 32, L"%04x%04x", translation[0], translation[1]);
    const std::wstring query = L"\\StringFileInfo\\" + std::wstring(block) + L"\\" + name;
    const wchar_t* text = nullptr;
    if (!VerQueryValueW(data.data(), query.c_str(),
                        reinterpret_cast<void**>(const_cast<wchar_t**>(&text)), &length) ||
        !text) {
        return std::nullopt;
    }
    return Utf8FromWide(std::wstring(text, length > 0 ? length - 1 : 0));
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::wstring* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const FileHandle file(CreateFileW(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
        if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CanAppendTo(const std::wstring& path) {
    if (FileExists(path)) {
        return FileHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
            .IsValid();
    }
    const std::wstring probe = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".probe";
    return FileHandle(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr))
        .IsValid();
}

std::optional<std::string> ReadTextFile(const std::wstring& path) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return std::nullopt;
    std::string content;
    char chunk[4096];
    for (DWORD got = 0;;) {
        if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) return content;
        content.append(chunk, got);
        if (content.size() > (1u << 20)) return std::nullopt;
    }
}

std::string Utf8FromWide(const std::wstring& text) { return FromWide(CP_UTF8, text); }

std::wstring WideFromUtf8(const std::string& text) {
    return ToWide(CP_UTF8, text, 32767).value_or(std::wstring());
}

std::wstring WideFromAnsi(const std::string& text) {
    return ToWide(CP_ACP, text, 32767).value_or(std::wstring());
}

}  // namespace platform
