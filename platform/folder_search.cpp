#include "platform/folder_search.h"

#include <windows.h>

#include <cstring>
#include <string_view>

namespace platform {

bool FolderEntry::IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
bool FolderEntry::IsHidden() const { return attributes & FILE_ATTRIBUTE_HIDDEN; }
bool FolderEntry::IsReparsePoint() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }

struct FolderSearch::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    bool pending = false;  // `data` holds an entry not handed out yet
};

FolderSearch::FolderSearch(const std::string& pattern) : state_(std::make_unique<State>()) {
    state_->handle = FindFirstFileA(pattern.c_str(), &state_->data);
    state_->pending = state_->handle != INVALID_HANDLE_VALUE;
}

FolderSearch::~FolderSearch() {
    if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
}

bool FolderSearch::Started() const { return state_->handle != INVALID_HANDLE_VALUE; }

bool FolderSearch::Next(FolderEntry& entry) {
    for (;;) {
        if (!state_->pending) {
            if (!Started() || !FindNextFileA(state_->handle, &state_->data)) return false;
        }
        state_->pending = false;
        const WIN32_FIND_DATAA& d = state_->data;
        // The name is NUL-terminated within its array; never read past it.
        const size_t length = strnlen(d.cFileName, sizeof d.cFileName);
        const std::string_view name(d.cFileName, length);
        if (name == "." || name == "..") continue;
        entry.name.assign(name);
        entry.attributes = d.dwFileAttributes;
        entry.size = (uint64_t{d.nFileSizeHigh} << 32) | d.nFileSizeLow;
        return true;
    }
}

}  // namespace platform
