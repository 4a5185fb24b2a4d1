#include "platform/folder_search.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "platform/fault_plan.h"
#include "platform/file_tree.h"
#include "platform/narrow_text.h"
#include "platform/wide_text.h"

namespace platform {

bool FolderEntry::IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
bool FolderEntry::IsHidden() const { return attributes & FILE_ATTRIBUTE_HIDDEN; }
bool FolderEntry::IsReparsePoint() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }

struct FolderSearch::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    bool pending = false;  // `data` holds an entry not handed out yet
    bool failed = false;   // stopped on an error, not at the last entry
    // A pattern too long for the narrow functions is searched with the wide
    // ones; each name is then given back in the narrow functions' code page.
    bool wide = false;
    WIN32_FIND_DATAW wideData{};
};

namespace {

// The wide entry's name in the code page the narrow functions use: a
// character it lacks as "?", never as a look-alike that names another entry.
bool Narrow(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow) {
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const int length = static_cast<int>(wcsnlen(wide.cFileName, MAX_PATH));
    const int bytes = PLATFORM_CALL(
        "WideCharToMultiByte", 0,
        WideCharToMultiByte(codePage, ExactConversionFlags(codePage), wide.cFileName, length,
                            narrow.cFileName, sizeof narrow.cFileName - 1, nullptr, nullptr));
    if (bytes <= 0 && length > 0) return false;
    narrow.cFileName[bytes] = '\0';
    narrow.dwFileAttributes = wide.dwFileAttributes;
    narrow.nFileSizeHigh = wide.nFileSizeHigh;
    narrow.nFileSizeLow = wide.nFileSizeLow;
    return true;
}

}  // namespace

FolderSearch::FolderSearch(const std::string& pattern) : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (!IsWholeText(pattern)) {
        // no search: the text names nothing
    } else if (pattern.size() < MAX_PATH) {
        s.handle = PLATFORM_CALL("FindFirstFileA", INVALID_HANDLE_VALUE,
                                 FindFirstFileA(pattern.c_str(), &s.data));
    } else if (const auto wide = WidePathOf(pattern)) {
        StartWide(*wide);
    }
    s.pending = s.handle != INVALID_HANDLE_VALUE;
}

FolderSearch::FolderSearch(const std::wstring& pattern) : state_(std::make_unique<State>()) {
    StartWide(pattern);
    state_->pending = state_->handle != INVALID_HANDLE_VALUE;
}

void FolderSearch::StartWide(const std::wstring& pattern) {
    State& s = *state_;
    s.wide = true;
    if (!IsWholeText(pattern)) return;
    // Only the "\\?\" form passes MAX_PATH.
    const auto path = pattern.size() < MAX_PATH ? std::nullopt : TreePath::FromWide(pattern);
    if (pattern.size() >= MAX_PATH && !path) return;
    s.handle =
        PLATFORM_CALL("FindFirstFileW", INVALID_HANDLE_VALUE,
                      FindFirstFileW(path ? path->Text().c_str() : pattern.c_str(), &s.wideData));
}

bool FolderSearch::FindNext() {
    State& s = *state_;
    if (!s.wide) return PLATFORM_CALL("FindNextFileA", FALSE, FindNextFileA(s.handle, &s.data));
    return PLATFORM_CALL("FindNextFileW", FALSE, FindNextFileW(s.handle, &s.wideData));
}

FolderSearch::~FolderSearch() {
    if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
}

bool FolderSearch::Started() const { return state_->handle != INVALID_HANDLE_VALUE; }

bool FolderSearch::Failed() const { return state_->failed; }

bool FolderSearch::Next(FolderEntry& entry) {
    for (;;) {
        if (!state_->pending) {
            if (!Started()) return false;
            if (!FindNext()) {
                state_->failed = GetLastError() != ERROR_NO_MORE_FILES;
                return false;
            }
        }
        state_->pending = false;
        // A name that cannot be given would leave the list short of it.
        if (state_->wide && !Narrow(state_->wideData, state_->data)) {
            state_->failed = true;
            return false;
        }
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
