#include "embedding/working_folder.h"

#include <windows.h>

namespace embedding {
namespace {

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(temp, length);
}

}  // namespace

OwnWorkingFolder::OwnWorkingFolder(const std::wstring& prefix) {
    const std::wstring temp = TempFolder();
    if (temp.empty()) return;
    for (DWORD attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
        const std::wstring candidate = temp + prefix + L"-" +
                                       std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(GetTickCount() + attempt);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) folder_ = candidate;
    }
    if (!folder_.empty() && !SetCurrentDirectoryW(folder_.c_str())) {
        RemoveDirectoryW(folder_.c_str());
        folder_.clear();
    }
}

OwnWorkingFolder::~OwnWorkingFolder() {
    if (folder_.empty()) return;
    SetCurrentDirectoryW(TempFolder().c_str());
    RemoveDirectoryW(folder_.c_str());
}

}  // namespace embedding
