#include "platform/log_file.h"

#include <windows.h>

#include <cstdio>

#include "platform/handle.h"
#include "platform/narrow_text.h"

namespace platform {
namespace {

FileHandle OpenForAppending(const std::string& path) {
    return FileHandle(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

void AppendLogLine(const std::string& path, const std::string& line, uint64_t rotateAtBytes) {
    if (path.empty() || !IsUsablePath(path)) return;
    FileHandle file = OpenForAppending(path);
    if (!file.IsValid()) return;
    LARGE_INTEGER size{};
    std::string text = line;
    if (GetFileSizeEx(file.Get(), &size) && static_cast<uint64_t>(size.QuadPart) >= rotateAtBytes) {
        file.Reset(INVALID_HANDLE_VALUE);
        const std::string older = path + ".1";
        if (MoveFileExA(path.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            file = OpenForAppending(path);
        } else {
            // The older log cannot be replaced (a folder of its name, a file
            // held open): the log begins again from nothing rather than grow
            // past its bound, and says why.
            file = FileHandle(CreateFileA(
                path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            text = UtcTimestamp() + " the log was begun again: " + older +
                   " could not be replaced\r\n" + line;
        }
        if (!file.IsValid()) return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
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
