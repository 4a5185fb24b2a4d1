// A search of one folder's entries (FindFirstFileA / FindNextFileA, or their
// wide forms for a wide pattern or one longer than the narrow ones take),
// owning its search handle and closing it on every path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct FolderEntry {
    std::string name;
    uint32_t attributes = 0;
    uint64_t size = 0;  // the whole 64-bit size of a file

    bool IsFolder() const;
    bool IsHidden() const;
    bool IsReparsePoint() const;
};

class FolderSearch {
  public:
    // `pattern` is a folder path followed by "\*" (or another wildcard, or a
    // name), of any length; the search starts at once.
    explicit FolderSearch(const std::string& pattern);
    // The same with a wide pattern; names are still given as the narrow
    // functions would give them.
    explicit FolderSearch(const std::wstring& pattern);
    ~FolderSearch();
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;

    // False when the search could not start (no such folder, a path too long).
    bool Started() const;
    // True once the search stopped on an error rather than at its last entry:
    // what it gave is then not the whole folder.
    bool Failed() const;

    // The next entry other than "." and "..", in the order the file system
    // gives them; false once there is none.
    bool Next(FolderEntry& entry);

  private:
    void StartWide(const std::wstring& pattern);
    bool FindNext();
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
