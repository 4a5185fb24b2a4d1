#include "platform/file_system.h"

#include <windows.h>

#include <cstdio>

#include "platform/fault_plan.h"
#include "platform/handle.h"
#include "platform/narrow_text.h"
#include "platform/wide_text.h"

namespace platform {

std::optional<std::wstring> WidePathOf(std::string_view text) {
    return ToWide(AreFileApisANSI() ? CP_ACP : CP_OEMCP, text, kLongestPathBytes);
}

bool PathExists(const std::wstring& path) {
    if (!IsWholeText(path)) return false;
    return PLATFORM_CALL("GetFileAttributesW", INVALID_FILE_ATTRIBUTES,
                         GetFileAttributesW(path.c_str())) != INVALID_FILE_ATTRIBUTES;
}

bool PathExists(const std::string& path) {
    const auto wide = WidePathOf(path);
    return wide && PathExists(*wide);
}

std::optional<uint64_t> LastWriteTime(const std::string& path) {
    if (!IsWholeText(path)) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!PLATFORM_CALL("GetFileAttributesExA", FALSE,
                       GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))) {
        return std::nullopt;
    }
    return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool IsFolder(const std::wstring& path) {
    if (!IsWholeText(path)) return false;
    const DWORD attributes = PLATFORM_CALL("GetFileAttributesW", INVALID_FILE_ATTRIBUTES,
                                           GetFileAttributesW(path.c_str()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& path) {
    const auto wide = WidePathOf(path);
    return wide && IsFolder(*wide);
}

bool RenamePath(const std::wstring& from, const std::wstring& to) {
    if (!IsWholeText(from) || !IsWholeText(to)) return false;
    return PLATFORM_CALL("_wrename", -1, _wrename(from.c_str(), to.c_str())) == 0;
}

bool RenamePath(const std::string& from, const std::string& to) {
    const auto wideFrom = WidePathOf(from);
    const auto wideTo = WidePathOf(to);
    return wideFrom && wideTo && RenamePath(*wideFrom, *wideTo);
}

bool CreateFolder(const std::wstring& path) {
    if (!IsWholeText(path)) return false;
    return PLATFORM_CALL("CreateDirectoryW", FALSE, CreateDirectoryW(path.c_str(), nullptr));
}

bool CreateFolder(const std::string& path) {
    const auto wide = WidePathOf(path);
    return wide && CreateFolder(*wide);
}

NewFileOutcome CreateNewFile(const std::string& path) {
    if (!IsWholeText(path)) return NewFileOutcome::Failed;
    const FileHandle file(
        PLATFORM_CALL("CreateFileA", INVALID_HANDLE_VALUE,
                      CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (file.IsValid()) return NewFileOutcome::Created;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
               ? NewFileOutcome::AlreadyExists
               : NewFileOutcome::Failed;
}

bool CanOpenForAppending(const std::string& path) {
    if (!IsWholeText(path)) return false;
    const FileHandle file(
        PLATFORM_CALL("CreateFileA", INVALID_HANDLE_VALUE,
                      CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    return file.IsValid();
}

}  // namespace platform
