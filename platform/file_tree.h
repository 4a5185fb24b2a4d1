// Files and folders at any depth: the wide file functions on "\\?\" paths, so
// that no path length limit applies. A narrow path enters here once, converted
// with the code page the narrow file functions use, so the same bytes name
// the same file; names found below it stay wide and are never converted.
// Links are never followed: an entry's attributes are the link's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TreeEntry {
    std::wstring name;
    uint32_t attributes = 0;
    uint64_t size = 0;  // the whole 64-bit size of a file

    bool IsFolder() const;
    bool IsHidden() const;
    // A symbolic link or junction (a reparse point), to a file or a folder.
    bool IsLink() const;
};

class TreePath {
  public:
    // Nothing unless `path` is absolute ("X:\..." or "\\server\share...")
    // and converts.
    static std::optional<TreePath> FromNarrow(std::string_view path);

    TreePath Child(const std::wstring& name) const;
    // The "\\?\" form the wide functions take.
    const std::wstring& Text() const { return text_; }

  private:
    explicit TreePath(std::wstring text) : text_(std::move(text)) {}
    std::wstring text_;
};

// What is at a path, the link itself when it is one.
struct PathState {
    enum class Kind {
        Absent,   // nothing of that name (the folder or file is not there)
        Present,  // `attributes` tells what it is
        Unknown,  // the file system could not tell
    };
    Kind kind = Kind::Unknown;
    uint32_t attributes = 0;

    bool IsAbsent() const { return kind == Kind::Absent; }
    bool IsFolder() const;  // a real folder, not a link to one
    bool IsLink() const;
};
PathState StateOf(const TreePath& path);

struct FolderListing {
    bool complete = false;           // every entry was read; false also for a missing folder
    std::vector<TreeEntry> entries;  // "." and ".." left out
};
// The entries of one folder, read whole; the search is closed before return.
FolderListing ListFolder(const TreePath& folder);

// Removes a file, or a link to a file or a folder (the link only), clearing
// a read-only attribute first. True when it is gone.
bool RemoveEntry(const TreePath& path, const TreeEntry& entry);
// Removes an empty folder, clearing a read-only attribute first.
bool RemoveEmptyFolder(const TreePath& path, uint32_t attributes);

enum class FolderMade { Created, Existed, Failed };
// Creates a folder, giving a new one the hidden, system and read-only
// attributes among `attributes`; Existed when a real folder (not a link) was
// there, which is left as it is.
FolderMade MakeFolder(const TreePath& path, uint32_t attributes = 0);

// Copies a file's bytes onto `to`, replacing a file there (read-only or
// hidden ones too), and gives the copy the file's `attributes`. Never writes
// through a link at `to`. `mayExist` false (a folder just created) spares a
// look at `to` first.
bool CopyFileOnto(const TreePath& from, const TreePath& to, uint32_t attributes, bool mayExist);

// Whether two paths name the same file or folder (the same volume and file
// identity); nothing when either cannot be opened.
std::optional<bool> SameObject(const TreePath& a, const TreePath& b);

}  // namespace platform
