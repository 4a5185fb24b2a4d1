// Files and folders at any depth: the wide file functions on "\\?\" paths, so
// that no path length limit applies, and below a folder a walk holds, the
// native functions relative to its handle (HeldFolder). A narrow path enters
// here once, converted with the code page the narrow file functions use, so
// the same bytes name the same file; names found below it stay wide and are
// never converted. A folder reached by its path is reached through any link
// on the way; below it, links are never followed: an entry's attributes are
// the link's own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether an entry of these attributes and reparse tag is a link: a name
// for something elsewhere (a symbolic link, a junction: the tags Windows
// marks as name surrogates). Any other reparse point (a file compressed by
// the system, a deduplicated file, a cloud placeholder) is a file or folder
// like any other, kept in another form by a filter. A reparse point whose
// tag is not known counts as a link.
constexpr bool IsLink(uint32_t attributes, uint32_t reparseTag) {
    constexpr uint32_t kReparsePoint = 0x400, kNameSurrogate = 0x20000000;
    return (attributes & kReparsePoint) && (reparseTag == 0 || (reparseTag & kNameSurrogate));
}

struct TreeEntry {
    std::wstring name;
    uint32_t attributes = 0;
    uint64_t size = 0;        // the whole 64-bit size of a file
    uint64_t id = 0;          // the file id a listing by handle gave; 0 when unknown
    uint32_t reparseTag = 0;  // of a reparse point, as listed; 0 when unknown

    bool IsFolder() const;
    bool IsHidden() const;
    bool IsReparsePoint() const;
    // A symbolic link or junction, to a file or a folder (see IsLink above).
    bool IsLink() const { return platform::IsLink(attributes, reparseTag); }
};

class TreePath {
  public:
    // Nothing unless `path` is absolute ("X:\..." or "\\server\share...")
    // and converts.
    static std::optional<TreePath> FromNarrow(std::string_view path);
    static std::optional<TreePath> FromWide(std::wstring_view path);

    TreePath Child(const std::wstring& name) const;
    // The folder that holds this path; nothing for a drive or share root.
    std::optional<TreePath> Parent() const;
    // The last name of the path.
    std::wstring Name() const;
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
};
PathState StateOf(const TreePath& path);

// The last name of `path` in its long form: a short (8.3) name of something
// there is taken in the long name it stands for; any other name as it is.
std::wstring LongName(const TreePath& path);

// The path as it compares with every other name of the same file or folder:
// the part of it that is there in its long form (short 8.3 names resolved),
// and all of it in the upper case the file system compares names in. Two
// names of one existing folder give the same text; a short name of nothing
// there stays as it is. It changes nothing on disk.
std::wstring ComparableText(const TreePath& path);

struct FolderListing {
    bool complete = false;           // every entry was read; false also for a missing folder
    std::vector<TreeEntry> entries;  // "." and ".." left out

    // The entry of that name: the one spelled so, else one that differs in
    // case only (as Windows compares names); null when there is none.
    const TreeEntry* Find(const std::wstring& name) const;
};

// What a handle opened below a held folder turned out to be.
struct OpenedEntry {
    uint32_t attributes = 0;
    uint32_t reparseTag = 0;
    uint64_t id = 0;
    std::wstring name;  // the path the file system gives the open file, from its volume's root
};
// Whether `opened`, opened by the name `listed` gives below the folder the
// file system names `folder`, is that listed entry: of the listed id, a link
// opened as itself or a real file or folder of the listed kind, and named as
// the folder's entry. (Where links open as their targets, as under Wine, a
// link to a file is listed as a plain file with its target's id: only the
// name tells.)
bool IsListedEntry(const TreeEntry& listed, const OpenedEntry& opened, std::wstring_view folder);

// One record of a folder's listing (the FileIdFullDirectoryInformation layout)
// as an entry: a reparse point's tag stands where the size of extended
// attributes would.
TreeEntry ListedEntryOf(const void* record);

// What a path below a folder leads to, each name taken as itself.
enum class PathBelow {
    Plain,     // every name is a real folder, the last a real folder or a file with no other name
    Missing,   // plain as far as it goes, and then a name is not there
    NotPlain,  // a link or junction on the way or at the end, a file with other names, a
               // file where a folder must be, or what could not be told
};

// A folder a walk is inside, held open: what is below it is listed, opened
// and removed relative to this handle, never by a path, so that no name on
// the way can be bound to a link while the walk runs. Nothing below it is
// entered, read, written or removed unless the handle opened is still the
// entry the listing gave (IsListedEntry).
class HeldFolder {
  public:
    // What the walk does in the folder: list and read it, remove from it,
    // or make and write below it.
    enum class Use { Read, Delete, Write };
    // The folder at `path`, reached by its path: a link or junction on the
    // way or at its end is followed (an administrator may keep the folder
    // elsewhere so). Nothing unless it leads to a folder.
    static std::optional<HeldFolder> Open(const TreePath& path, Use use);
    HeldFolder(HeldFolder&&) noexcept = default;
    HeldFolder& operator=(HeldFolder&&) noexcept = default;

    // The entries, read through the handle, with their file ids.
    FolderListing List() const;
    // What the path `names` gives below this folder leads to, seen from here
    // without following anything.
    PathBelow Below(const std::vector<std::wstring>& names) const;
    // What a file of this folder opened by OpenSoleFile turned out to be.
    enum class SoleFile { Opened, Absent, Link, OtherNames, NotAFile, Failed };
    // The file `name` of this folder, opened as itself with `access` (made
    // first when `make` and it is not there), when it is a real file with no
    // other name, named as this folder's entry: a link, a junction, a hard
    // link or a folder of that name is left as it is. Null otherwise, with
    // the reason in `why`; the caller owns the handle (CloseHandle).
    void* OpenSoleFile(const std::wstring& name, uint32_t access, bool make,
                       SoleFile* why = nullptr) const;
    // Gives `file`, a file of this folder opened with delete access, the
    // name `newName` in this folder, replacing a file of that name (a link
    // of that name is itself replaced, never followed); false for a folder
    // of that name or a file held without delete sharing.
    bool RenameHere(void* file, const std::wstring& newName) const;
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
    // a link, never over a folder, and never from or into a file that has
    // another name (a hard link): that file is elsewhere too.
    bool CopyFrom(const HeldFolder& from, const TreeEntry& entry, const TreeEntry* existing) const;
    // Removes a file, or a link itself (never what it leads to), below this
    // folder through a handle of its own, clearing a read-only attribute
    // first: only when that handle is the listed entry. A link that the
    // platform opens as its target stays, and so does its target. True when
    // the removal was set going; it is done as the handle closes.
    bool Remove(const TreeEntry& entry) const;
    // Marks this folder, emptied, for removal when its handle closes,
    // clearing a read-only attribute first.
    bool RemoveOnClose();

  private:
    struct Close {
        void operator()(void* handle) const;
    };
    explicit HeldFolder(void* handle) : handle_(handle) {}
    // Whether a file may have other names (hard links) besides the listed
    // one: a delete removes only the name, but nothing is read into a copy
    // from such a file, nor written into it.
    enum class Names { Any, One };
    // Whether `handle`, opened below this folder by the name `entry` gives,
    // is that entry (IsListedEntry), and, for Names::One, its only name.
    bool IsListedHere(void* handle, const TreeEntry& entry, Names names = Names::Any) const;
    // The listed file `entry` opened for reading its bytes (through the
    // filter that keeps them, for a file kept in another form); null unless
    // it still is the listed file. The caller owns the handle.
    void* OpenListedToRead(const TreeEntry& entry) const;
    // Gives the listed file these attributes; false unless it still is it.
    bool SetListedAttributes(const TreeEntry& listed, uint32_t attributes) const;
    // A new file `name`, or the listed file `existing` cut to nothing, open
    // for writing; null when neither. The caller owns the handle.
    void* OpenToReplace(const std::wstring& name, const TreeEntry* existing) const;
    std::unique_ptr<void, Close> handle_;
    // The name the file system gives this folder, asked once when needed.
    const std::optional<std::wstring>& FileSystemName() const;
    mutable std::optional<std::wstring> fileSystemName_;
};

// What `names` lead to below the folder `top`, which is reached by its path
// (links on the way to it followed); Missing when `top` is not there. The
// answer holds when it is given: a path that is then changed by another
// program is not watched.
PathBelow CheckPathBelow(const TreePath& top, const std::vector<std::wstring>& names);

// Waits `milliseconds`.
void Pause(unsigned milliseconds);

}  // namespace platform
