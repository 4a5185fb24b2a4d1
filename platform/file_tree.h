// Files and folders at any depth: the wide file functions on "\\?\" paths, so
// that no path length limit applies, and below a folder a walk holds, the
// native functions relative to its handle (HeldFolder). A narrow path enters
// here once, converted with the code page the narrow file functions use, so
// the same bytes name the same file; names found below it stay wide and are
// never converted. Links are never followed: an entry's attributes are the
// link's own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TreeEntry {
    std::wstring name;
    uint32_t attributes = 0;
    uint64_t size = 0;  // the whole 64-bit size of a file
    uint64_t id = 0;    // the file id a listing by handle gave; 0 when unknown

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

// The path as it compares with every other name of the same file or folder:
// the part of it that is there in its long form (short 8.3 names resolved),
// and all of it in the upper case the file system compares names in. Two
// names of one folder give the same text; it touches nothing.
std::wstring ComparableText(const TreePath& path);

struct FolderListing {
    bool complete = false;           // every entry was read; false also for a missing folder
    std::vector<TreeEntry> entries;  // "." and ".." left out
};

// Removes a file, or a link to a file or a folder (the link only), clearing
// a read-only attribute first. True when it is gone.
bool RemoveEntry(const TreePath& path, const TreeEntry& entry);

enum class FolderMade { Created, Existed, Failed };
// Creates a folder, giving a new one the hidden, system and read-only
// attributes among `attributes`; Existed when a real folder (not a link) was
// there, which is left as it is.
FolderMade MakeFolder(const TreePath& path, uint32_t attributes = 0);

// A folder a walk is inside, held open: what is below it is listed, opened
// and removed relative to this handle, never by a path, so that no name on
// the way can be bound to a link while the walk runs. A subfolder is entered
// only when it is still the real folder the listing gave: not a link, and
// the same file id (under Wine, which opens a symbolic link as its target,
// only the id tells a swapped-in link apart).
class HeldFolder {
  public:
    // What the walk does in the folder: list and read it, remove from it,
    // or make and write below it.
    enum class Use { Read, Delete, Write };
    // The folder at `path`, when it is a real folder (not a link).
    static std::optional<HeldFolder> Open(const TreePath& path, Use use);
    HeldFolder(HeldFolder&&) noexcept = default;
    HeldFolder& operator=(HeldFolder&&) noexcept = default;

    // The entries, read through the handle, with their file ids.
    FolderListing List() const;
    // The subfolder `entry` of this folder's listing names, when it is
    // still that real folder.
    std::optional<HeldFolder> Enter(const TreeEntry& entry, Use use) const;
    // The real folder `name` below this one, held for writing: made when
    // this folder's listing had nothing of that name (`existing` null), or
    // opened when it listed a real folder there and it is still that one.
    // Nothing when the name is a file or a link, or was taken meanwhile.
    std::optional<HeldFolder> MakeFolder(const std::wstring& name, uint32_t attributes,
                                         const TreeEntry* existing) const;
    // Copies the file `entry` of the folder `from` (when it is still that
    // file) onto the same name below this folder, giving the copy the
    // file's attributes and time: a new file when this folder's listing had
    // nothing of that name (`existing` null), else over the file it listed
    // (read-only or hidden too), when it is still that file. Never through
    // a link, never over a folder.
    bool CopyFrom(const HeldFolder& from, const TreeEntry& entry, const TreeEntry* existing) const;
    // Removes a file, or a link itself (never what it leads to), below this
    // folder through a handle of its own, clearing a read-only attribute
    // first. True when it is gone.
    bool Remove(const TreeEntry& entry) const;
    // Marks this folder, emptied, for removal when its handle closes,
    // clearing a read-only attribute first.
    bool RemoveOnClose();

  private:
    struct Close {
        void operator()(void* handle) const;
    };
    HeldFolder(void* handle, TreePath path) : handle_(handle), path_(std::move(path)) {}
    std::unique_ptr<void, Close> handle_;
    TreePath path_;  // where it was when opened; for what Wine cannot do by handle
};

// Whether two paths name the same file or folder (the same volume and file
// identity); nothing when either cannot be opened.
std::optional<bool> SameObject(const TreePath& a, const TreePath& b);

}  // namespace platform
