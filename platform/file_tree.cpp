#include "platform/file_tree.h"

#include <windows.h>
// windows.h first: the native declarations build on it.
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/fault_plan.h"
#include "platform/handle.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

constexpr DWORD kAttributesThatBlockReplacing =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "\\?\" paths are taken literally: a "." or ".." part, or a forward slash,
// would name something other than the plain path does.
bool HasOnlyPlainParts(std::wstring_view path) {
    if (path.find(L'/') != std::wstring_view::npos) return false;
    if (path.find(L'\0') != std::wstring_view::npos) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(L'\\', start);
        const std::wstring_view part = path.substr(start, end - start);
        if (part == L"." || part == L"..") return false;
        if (end == std::wstring_view::npos) return true;
        start = end + 1;
    }
}

// How an entry below a held folder is opened: a link as itself
// (FILE_OPEN_REPARSE_POINT), or, for a file a filter keeps in another form,
// through that filter, which alone gives its bytes.
enum class Through { Nothing, Filter };

// Opens `name` below the folder `parent` (NtCreateFile with a root
// directory); null when it cannot be opened.
HANDLE OpenBelow(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG options,
                 ULONG disposition = FILE_OPEN, ULONG attributesIfMade = 0,
                 Through through = Through::Nothing, NTSTATUS* failure = nullptr) {
    if (name.empty() || name.size() > 32767) return nullptr;
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS opened = PLATFORM_CALL(
        "NtCreateFile", static_cast<NTSTATUS>(0xC0000022L) /* access denied */,
        NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, attributesIfMade,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                     options | FILE_SYNCHRONOUS_IO_NONALERT |
                         (through == Through::Nothing ? FILE_OPEN_REPARSE_POINT : 0),
                     nullptr, 0));
    if (failure) *failure = opened;
    return opened >= 0 ? handle : nullptr;
}

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID,
                                               PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING,
                                               BOOLEAN);

// One entry as NtQueryDirectoryFile gives it in the FileIdFullDirectoryInformation
// class: the file id without the short name, which costs a file system that
// makes short names up to compute.
struct IdFullEntry {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime;
    LARGE_INTEGER EndOfFile, AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};
constexpr auto kIdFullDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(38);
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034L),
                   kPathNotFound = static_cast<NTSTATUS>(0xC000003AL),
                   kIsAFolder = static_cast<NTSTATUS>(0xC00000BAL);

TreeEntry EntryOf(const IdFullEntry& found) {
    TreeEntry entry;
    entry.name.assign(found.FileName, found.FileNameLength / sizeof(wchar_t));
    entry.attributes = found.FileAttributes;
    entry.size = static_cast<uint64_t>(found.EndOfFile.QuadPart);
    entry.id = static_cast<uint64_t>(found.FileId.QuadPart);
    // A reparse point's tag stands where the size of extended attributes
    // would.
    if (found.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) entry.reparseTag = found.EaSize;
    return entry;
}

// What an open file or folder is: its attributes and file id, asked of the
// file system directly (the one question GetFileInformationByHandle makes
// of several is what the walks need, and costs a fraction).
struct Identity {
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    uint64_t id = 0;
};
// Its attributes and reparse tag alone (id 0): one question.
std::optional<Identity> KindOf(HANDLE handle) {
    IO_STATUS_BLOCK status{};
    struct {
        ULONG attributes, reparseTag;
    } tag{};
    if (PLATFORM_CALL("NtQueryInformationFile", static_cast<NTSTATUS>(0xC0000022L),
                      NtQueryInformationFile(handle, &status, &tag, sizeof tag,
                                             static_cast<FILE_INFORMATION_CLASS>(35))) < 0) {
        return std::nullopt;
    }
    return Identity{tag.attributes, tag.reparseTag, 0};
}
std::optional<Identity> IdentityOf(HANDLE handle) {
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER id{};
    if (PLATFORM_CALL("NtQueryInformationFile", static_cast<NTSTATUS>(0xC0000022L),
                      NtQueryInformationFile(handle, &status, &id, sizeof id,
                                             static_cast<FILE_INFORMATION_CLASS>(6))) < 0) {
        return std::nullopt;
    }
    auto identity = KindOf(handle);
    if (identity) identity->id = static_cast<uint64_t>(id.QuadPart);
    return identity;
}

// How many names an open file has: more than one for a file with hard links,
// each of which is the file itself. 0 when it cannot be asked.
unsigned long NamesOf(HANDLE handle) {
    IO_STATUS_BLOCK status{};
    struct {
        LARGE_INTEGER allocationSize, endOfFile;
        ULONG numberOfLinks;
        BOOLEAN deletePending, directory;
    } standard{};
    if (PLATFORM_CALL("NtQueryInformationFile", static_cast<NTSTATUS>(0xC0000022L),
                      NtQueryInformationFile(handle, &status, &standard, sizeof standard,
                                             static_cast<FILE_INFORMATION_CLASS>(5))) < 0) {
        return 0;
    }
    return standard.numberOfLinks;
}

// The path the file system gives an open file or folder, from the root of
// its volume: the one it opened, whatever name led there.
std::optional<std::wstring> FileSystemNameOf(HANDLE handle) {
    std::vector<unsigned char> buffer(1024);
    for (;;) {
        IO_STATUS_BLOCK status{};
        const NTSTATUS asked =
            PLATFORM_CALL("NtQueryInformationFile", static_cast<NTSTATUS>(0xC0000022L),
                          NtQueryInformationFile(handle, &status, buffer.data(),
                                                 static_cast<ULONG>(buffer.size()),
                                                 static_cast<FILE_INFORMATION_CLASS>(9)));
        const auto* name = reinterpret_cast<const FILE_NAME_INFORMATION*>(buffer.data());
        const size_t needed = offsetof(FILE_NAME_INFORMATION, FileName) + name->FileNameLength;
        if (asked >= 0 && needed <= buffer.size()) {
            return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
        }
        // Too small: the length needed is given (a name is at most 64 KiB).
        constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
        if (asked != kBufferOverflow || needed <= buffer.size() || needed > 70000) {
            return std::nullopt;
        }
        buffer.resize(needed);
    }
}

// Whether two names are the same as Windows compares names (case aside).
bool SameName(std::wstring_view a, std::wstring_view b) {
    return PLATFORM_CALL("CompareStringOrdinal", 0,
                         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                              static_cast<int>(b.size()), TRUE)) == CSTR_EQUAL;
}

// Marks an open file or folder for removal when its last handle closes,
// clearing first the read-only attribute among `attributes` (as listed).
bool MarkForRemoval(HANDLE handle, DWORD attributes) {
    // Where the system has it, the POSIX way: the name goes at once, even
    // while another program (the search indexer, an antivirus scanner)
    // holds the file with delete sharing, so that its folder can go too; the
    // read-only attribute is passed over. Elsewhere (older Windows, other
    // file systems, Wine) the classic mark below, whose name stays listed
    // until the last handle closes.
    struct {
        DWORD Flags;
    } posix{0x1 | 0x2 | 0x10};  // delete, POSIX semantics, ignore read-only
    constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
    if (PLATFORM_CALL(
            "SetFileInformationByHandle", FALSE,
            SetFileInformationByHandle(handle, kDispositionInfoEx, &posix, sizeof posix))) {
        return true;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributes & ~FILE_ATTRIBUTE_READONLY;
        if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        PLATFORM_CALL("SetFileInformationByHandle", FALSE,
                      SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic));
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return PLATFORM_CALL(
        "SetFileInformationByHandle", FALSE,
        SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition));
}

}  // namespace

void HeldFolder::Close::operator()(void* handle) const { CloseHandle(handle); }

ACCESS_MASK HeldFolderAccess(HeldFolder::Use use) {
    switch (use) {
        case HeldFolder::Use::Read:
            return FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
        case HeldFolder::Use::Delete:
            return FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE | FILE_WRITE_ATTRIBUTES;
        case HeldFolder::Use::Write:
            return FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_ADD_FILE |
                   FILE_ADD_SUBDIRECTORY | FILE_WRITE_ATTRIBUTES;
    }
    return 0;
}

std::optional<HeldFolder> HeldFolder::Open(const TreePath& path, Use use) {
    const DWORD access = HeldFolderAccess(use) | SYNCHRONIZE;
    FileHandle handle(
        PLATFORM_CALL("CreateFileW", INVALID_HANDLE_VALUE,
                      CreateFileW(path.Text().c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (!handle.IsValid()) return std::nullopt;
    // Opened through whatever links the path holds, the handle is what they
    // lead to, never a link: only its kind is asked.
    const auto kind = KindOf(handle.Get());
    if (!kind || !(kind->attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return HeldFolder(handle.Release());
}

namespace {
// Whether `handle`, of the kind (and, where `listed` has one, the id)
// `identity` gives, is the entry `listed` of the folder the file system
// names `folder`; with `oneName`, also a file's only name (a file with
// other names is reached from elsewhere too: what is read from it or
// written into it is not the store's alone).
bool IsOpenedAs(HANDLE handle, const Identity& identity, const TreeEntry& listed, bool oneName,
                const std::optional<std::wstring>& folder) {
    if (!folder || (oneName && NamesOf(handle) != 1)) return false;
    auto name = FileSystemNameOf(handle);
    return name &&
           IsListedEntry(listed,
                         {identity.attributes, identity.reparseTag, identity.id, std::move(*name)},
                         *folder);
}
}  // namespace

const std::optional<std::wstring>& HeldFolder::FileSystemName() const {
    if (!fileSystemName_) fileSystemName_ = FileSystemNameOf(handle_.get());
    return fileSystemName_;
}

bool HeldFolder::IsListedHere(void* handle, const TreeEntry& entry, Names names) const {
    // The id is asked only where the listing gave one.
    const auto identity = entry.id ? IdentityOf(handle) : KindOf(handle);
    return identity && IsOpenedAs(handle, *identity, entry, names == Names::One, FileSystemName());
}

FolderListing HeldFolder::List() const {
    FolderListing listing;
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[64 * 1024]);
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IO_STATUS_BLOCK status{};
        const NTSTATUS read = PLATFORM_CALL(
            "NtQueryDirectoryFile", static_cast<NTSTATUS>(0xC0000022L),
            NtQueryDirectoryFile(handle_.get(), nullptr, nullptr, nullptr, &status, buffer.get(),
                                 64 * 1024, kIdFullDirectoryInformation, FALSE, nullptr, restart));
        if (read == kNoMoreFiles) {
            listing.complete = true;
            return listing;
        }
        if (read < 0) return listing;
        for (size_t at = 0;;) {
            const auto* found = reinterpret_cast<const IdFullEntry*>(buffer.get() + at);
            const std::wstring_view name(found->FileName, found->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") listing.entries.push_back(EntryOf(*found));
            if (!found->NextEntryOffset) break;
            at += found->NextEntryOffset;
        }
    }
}

std::optional<HeldFolder> HeldFolder::Enter(const TreeEntry& entry, Use use) const {
    if (!entry.IsFolder() || entry.IsLink()) return std::nullopt;
    const ACCESS_MASK access = HeldFolderAccess(use);
    KernelHandle handle(OpenBelow(handle_.get(), entry.name, access, FILE_DIRECTORY_FILE));
    if (!handle.IsValid() || !IsListedHere(handle.Get(), entry)) return std::nullopt;
    return HeldFolder(handle.Release());
}

std::optional<HeldFolder> HeldFolder::MakeFolder(const std::wstring& name, uint32_t attributes,
                                                 const TreeEntry* existing) const {
    if (existing && (!existing->IsFolder() || existing->IsLink())) return std::nullopt;
    const DWORD kept = attributes & kAttributesThatBlockReplacing;
    // FILE_CREATE fails should anything have taken the name since the listing.
    KernelHandle handle(OpenBelow(handle_.get(), name, HeldFolderAccess(Use::Write),
                                  FILE_DIRECTORY_FILE, existing ? FILE_OPEN : FILE_CREATE,
                                  kept ? kept : FILE_ATTRIBUTE_NORMAL));
    TreeEntry made;
    made.name = name;
    made.attributes = FILE_ATTRIBUTE_DIRECTORY;
    if (!handle.IsValid() || !IsListedHere(handle.Get(), existing ? *existing : made)) {
        return std::nullopt;
    }
    return HeldFolder(handle.Release());
}

namespace {

// A file a filter keeps in another form gives its bytes only through that
// filter.
Through ThroughFor(const TreeEntry& file) {
    return file.IsReparsePoint() ? Through::Filter : Through::Nothing;
}

// Copies what `source` holds from here on to `target`, in parts of at most
// 1 MiB; false unless every byte was read and written.
bool CopyBytes(HANDLE source, HANDLE target, uint64_t size) {
    // A buffer of the file's size, up to 1 MiB, left uninitialised: the
    // reads fill it.
    const DWORD step = static_cast<DWORD>(size < (1u << 20) ? size + 1 : (1u << 20));
    const std::unique_ptr<char[]> chunk(new char[step]);
    for (DWORD got = 0;;) {
        if (!PLATFORM_CALL("ReadFile", FALSE, ReadFile(source, chunk.get(), step, &got, nullptr))) {
            return false;
        }
        if (got == 0) return true;
        DWORD put = 0;
        if (!PLATFORM_CALL("WriteFile", FALSE,
                           WriteFile(target, chunk.get(), got, &put, nullptr)) ||
            put != got) {
            return false;
        }
    }
}

}  // namespace

void* HeldFolder::OpenListedToRead(const TreeEntry& entry) const {
    const ACCESS_MASK access = FILE_READ_DATA | FILE_READ_ATTRIBUTES;
    const ULONG options = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;
    // Opened as itself first, and through its filter only once it is seen
    // to be the listed file.
    KernelHandle source(OpenBelow(handle_.get(), entry.name, access, options));
    if (!source.IsValid() || !IsListedHere(source.Get(), entry, Names::One)) return nullptr;
    if (ThroughFor(entry) == Through::Filter) {
        source.Reset(
            OpenBelow(handle_.get(), entry.name, access, options, FILE_OPEN, 0, Through::Filter));
        if (!source.IsValid() || !IsListedHere(source.Get(), entry, Names::One)) return nullptr;
    }
    return source.Release();
}

bool HeldFolder::SetListedAttributes(const TreeEntry& listed, uint32_t attributes) const {
    const KernelHandle file(OpenBelow(handle_.get(), listed.name,
                                      FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_NON_DIRECTORY_FILE));
    if (!file.IsValid() || !IsListedHere(file.Get(), listed, Names::One)) return false;
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    PLATFORM_CALL("SetFileInformationByHandle", FALSE,
                  SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic));
    return true;
}

void* HeldFolder::OpenToReplace(const std::wstring& name, const TreeEntry* existing) const {
    // A new file when nothing of the name was listed (and fails should
    // anything have taken the name since), else the file listed, when it
    // still is that file, cut to nothing.
    KernelHandle target(OpenBelow(
        handle_.get(), name, FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES,
        FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, existing ? FILE_OPEN : FILE_CREATE,
        FILE_ATTRIBUTE_NORMAL, existing ? ThroughFor(*existing) : Through::Nothing));
    if (!existing || !target.IsValid()) return target.Release();
    FILE_END_OF_FILE_INFO end{};
    if (!IsListedHere(target.Get(), *existing, Names::One) ||
        !PLATFORM_CALL(
            "SetFileInformationByHandle", FALSE,
            SetFileInformationByHandle(target.Get(), FileEndOfFileInfo, &end, sizeof end))) {
        return nullptr;
    }
    return target.Release();
}

bool HeldFolder::CopyFrom(const HeldFolder& from, const TreeEntry& entry,
                          const TreeEntry* existing) const {
    // Nothing is written through a link, nor over a folder.
    if (entry.IsFolder() || entry.IsLink() ||
        (existing && (existing->IsLink() || existing->IsFolder()))) {
        return false;
    }
    const KernelHandle source(from.OpenListedToRead(entry));
    if (!source.IsValid()) return false;
    FILE_BASIC_INFO times{};
    if (!PLATFORM_CALL(
            "GetFileInformationByHandleEx", FALSE,
            GetFileInformationByHandleEx(source.Get(), FileBasicInfo, &times, sizeof times))) {
        return false;
    }
    // A read-only file cannot be opened for writing: its attribute goes
    // first, and comes back should the copy fail.
    const bool readOnly = existing && (existing->attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly && !SetListedAttributes(*existing, FILE_ATTRIBUTE_NORMAL)) return false;
    const KernelHandle target(OpenToReplace(entry.name, existing));
    if (!target.IsValid() || !CopyBytes(source.Get(), target.Get(), entry.size)) {
        // What could not be replaced stays as it was.
        if (readOnly) SetListedAttributes(*existing, existing->attributes);
        return false;
    }
    // The file's time and its attributes; a copy whose attributes could not
    // be given is still a whole copy of the bytes.
    FILE_BASIC_INFO basic{};
    basic.LastWriteTime = times.LastWriteTime;
    basic.FileAttributes =
        times.FileAttributes & (kAttributesThatBlockReplacing | FILE_ATTRIBUTE_ARCHIVE);
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    PLATFORM_CALL("SetFileInformationByHandle", FALSE,
                  SetFileInformationByHandle(target.Get(), FileBasicInfo, &basic, sizeof basic));
    return true;
}

bool HeldFolder::Remove(const TreeEntry& entry) const {
    const ACCESS_MASK access =
        DELETE | FILE_READ_ATTRIBUTES |
        (entry.attributes & FILE_ATTRIBUTE_READONLY ? FILE_WRITE_ATTRIBUTES : 0);
    // Opened as itself: a link as a link, anything else as what it is. A
    // name bound to something else since the listing (a folder where a file
    // was listed included), or a link opened as its target, is not the
    // listed entry and is left as it is.
    const KernelHandle handle(OpenBelow(handle_.get(), entry.name, access, 0));
    return handle.IsValid() && IsListedHere(handle.Get(), entry) &&
           MarkForRemoval(handle.Get(), entry.attributes);
}

bool HeldFolder::RemoveOnClose() {
    BY_HANDLE_FILE_INFORMATION info{};
    return PLATFORM_CALL("GetFileInformationByHandle", FALSE,
                         GetFileInformationByHandle(handle_.get(), &info)) &&
           MarkForRemoval(handle_.get(), info.dwFileAttributes);
}

PathBelow HeldFolder::Below(const std::vector<std::wstring>& names) const {
    // The whole path opened at once, its last name as itself: a link or
    // junction anywhere on the way leads the open elsewhere, which the name
    // the file system gives the opened file shows. Where the last name is
    // not there, the path to its folder is judged the same way.
    for (size_t count = names.size(); count > 0; --count) {
        std::wstring relative;
        for (size_t i = 0; i < count; ++i) relative.append(i ? L"\\" : L"").append(names[i]);
        NTSTATUS failure = 0;
        const KernelHandle handle(OpenBelow(handle_.get(), relative, FILE_READ_ATTRIBUTES, 0,
                                            FILE_OPEN, 0, Through::Nothing, &failure));
        if (!handle.IsValid()) {
            if (failure == kNameNotFound || failure == kPathNotFound) continue;
            return PathBelow::NotPlain;
        }
        // Asked of the file system as few questions as it takes: what it
        // is, how many names a file has, and the name it was opened by.
        const auto kind = KindOf(handle.Get());
        if (!kind || IsLink(kind->attributes, kind->reparseTag)) return PathBelow::NotPlain;
        TreeEntry expected;
        expected.name = std::move(relative);
        expected.attributes = kind->attributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool folder = expected.IsFolder();
        // Only a folder can hold the names that are not there yet.
        if (count < names.size() && !folder) return PathBelow::NotPlain;
        if (!IsOpenedAs(handle.Get(), *kind, expected, !folder, FileSystemName())) {
            return PathBelow::NotPlain;
        }
        return count == names.size() ? PathBelow::Plain : PathBelow::Missing;
    }
    return PathBelow::Missing;
}

void* HeldFolder::OpenSoleFile(const std::wstring& name, uint32_t access, bool make,
                               SoleFile* why) const {
    SoleFile unused;
    SoleFile& reason = why ? *why : unused;
    NTSTATUS failure = 0;
    const auto open = [&](ULONG disposition) {
        return OpenBelow(handle_.get(), name, access | FILE_READ_ATTRIBUTES,
                         FILE_NON_DIRECTORY_FILE, disposition, FILE_ATTRIBUTE_NORMAL,
                         Through::Nothing, &failure);
    };
    // Made only where nothing is, not even a link that leads nowhere: a
    // platform that opens links as their targets would make the target.
    KernelHandle file(open(FILE_OPEN));
    if (!file.IsValid() && make && failure == kNameNotFound) file.Reset(open(FILE_CREATE));
    reason = SoleFile::Failed;
    if (!file.IsValid()) {
        if (failure == kNameNotFound) reason = SoleFile::Absent;
        if (failure == kIsAFolder) reason = SoleFile::NotAFile;
        return nullptr;
    }
    const auto kind = KindOf(file.Get());
    if (!kind) return nullptr;
    TreeEntry listed;
    listed.name = name;
    if (IsLink(kind->attributes, kind->reparseTag) ||
        !IsOpenedAs(file.Get(), *kind, listed, false, FileSystemName())) {
        // Opened as itself, or where links open as what they lead to, named
        // as something else.
        reason = SoleFile::Link;
        return nullptr;
    }
    if (NamesOf(file.Get()) != 1) {
        reason = SoleFile::OtherNames;
        return nullptr;
    }
    reason = SoleFile::Opened;
    return file.Release();
}

bool HeldFolder::RenameHere(void* file, const std::wstring& newName) const {
    // FILE_RENAME_INFORMATION, its name relative to this folder's handle.
    struct RenameInformation {
        BOOLEAN replaceIfExists;
        HANDLE rootDirectory;
        ULONG fileNameLength;
        WCHAR fileName[1];
    };
    if (newName.empty() || newName.size() > 32767) return false;
    const size_t bytes = offsetof(RenameInformation, fileName) + newName.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(std::max(bytes, sizeof(RenameInformation)), 0);
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replaceIfExists = TRUE;
    rename->rootDirectory = handle_.get();
    rename->fileNameLength = static_cast<ULONG>(newName.size() * sizeof(wchar_t));
    std::copy(newName.begin(), newName.end(), rename->fileName);
    IO_STATUS_BLOCK status{};
    return PLATFORM_CALL(
               "NtSetInformationFile", static_cast<NTSTATUS>(0xC0000022L),
               NtSetInformationFile(file, &status, rename, static_cast<ULONG>(buffer.size()),
                                    static_cast<FILE_INFORMATION_CLASS>(10))) >= 0;
}

PathBelow CheckPathBelow(const TreePath& top, const std::vector<std::wstring>& names) {
    const auto held = HeldFolder::Open(top, HeldFolder::Use::Read);
    if (!held) return StateOf(top).IsAbsent() ? PathBelow::Missing : PathBelow::NotPlain;
    return held->Below(names);
}

bool TreeEntry::IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
bool TreeEntry::IsHidden() const { return attributes & FILE_ATTRIBUTE_HIDDEN; }
bool TreeEntry::IsReparsePoint() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }

TreeEntry ListedEntryOf(const void* record) {
    return EntryOf(*static_cast<const IdFullEntry*>(record));
}

bool IsListedEntry(const TreeEntry& listed, const OpenedEntry& opened, std::wstring_view folder) {
    if (listed.id && opened.id != listed.id) return false;
    const bool link = IsLink(opened.attributes, opened.reparseTag);
    // A link opened as itself; anything else as a real file or folder of
    // the listed kind (a platform that opened what a link leads to shows
    // that here).
    if (link != listed.IsLink()) return false;
    if (!link && bool(opened.attributes & FILE_ATTRIBUTE_DIRECTORY) != listed.IsFolder()) {
        return false;
    }
    // Named as the folder's entry: the folder's name, a backslash (the
    // volume root's name ends in one), and the listed name.
    const std::wstring_view whole(opened.name);
    if (whole.size() <= listed.name.size()) return false;
    const size_t split = whole.size() - listed.name.size();
    const bool rooted = !folder.empty() && folder.back() == L'\\';
    const std::wstring_view head = whole.substr(0, rooted ? split : split - 1);
    return (rooted || whole[split - 1] == L'\\') && SameName(head, folder) &&
           SameName(whole.substr(split), listed.name);
}

const TreeEntry* FolderListing::Find(const std::wstring& name) const {
    const TreeEntry* found = nullptr;
    for (const TreeEntry& entry : entries) {
        if (entry.name == name) return &entry;
        if (!found && SameName(entry.name, name)) found = &entry;
    }
    return found;
}

std::optional<TreePath> TreePath::FromNarrow(std::string_view path) {
    const auto wide = WidePathOf(path);
    return wide ? FromWide(*wide) : std::nullopt;
}

std::optional<TreePath> TreePath::FromWide(std::wstring_view path) {
    if (!HasOnlyPlainParts(path)) return std::nullopt;
    std::wstring text;
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        text.assign(L"\\\\?\\").append(path);
    } else if (path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\') {
        text.assign(L"\\\\?\\UNC\\").append(path.substr(2));
    } else {
        return std::nullopt;
    }
    if (text.back() == L'\\') text.pop_back();
    return TreePath(std::move(text));
}

std::optional<TreePath> TreePath::Parent() const {
    // The root: "\\?\X:\" or "\\?\UNC\server\share\".
    size_t root = 7;
    if (text_.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        const size_t share = text_.find(L'\\', 8);
        root = share == std::wstring::npos ? std::wstring::npos : text_.find(L'\\', share + 1);
        if (root != std::wstring::npos) ++root;
    }
    const size_t slash = text_.find_last_of(L'\\');
    if (root == std::wstring::npos || slash == std::wstring::npos || slash + 1 < root ||
        slash + 1 == text_.size()) {
        return std::nullopt;
    }
    return TreePath(text_.substr(0, slash + 1 == root ? root : slash));
}

std::wstring TreePath::Name() const { return text_.substr(text_.find_last_of(L'\\') + 1); }

TreePath TreePath::Child(const std::wstring& name) const {
    std::wstring text;
    text.reserve(text_.size() + 1 + name.size());
    text.append(text_).append(1, L'\\').append(name);
    return TreePath(std::move(text));
}

namespace {

// A "\\?\" path without its prefix when it fits the classic length: not
// every implementation resolves short names with the prefix.
std::wstring WithoutPrefixWhenItFits(const std::wstring& full) {
    if (full.size() >= MAX_PATH + 4) return full;
    return full.compare(0, 8, L"\\\\?\\UNC\\") == 0 ? L"\\" + full.substr(7) : full.substr(4);
}

// The long form of a path that is there; nothing when it cannot be had.
std::optional<std::wstring> LongPathOf(const std::wstring& text) {
    const DWORD needed =
        PLATFORM_CALL("GetLongPathNameW", 0, GetLongPathNameW(text.c_str(), nullptr, 0));
    if (needed == 0) return std::nullopt;
    std::wstring resolved(needed, L'\0');
    const DWORD length = PLATFORM_CALL("GetLongPathNameW", 0,
                                       GetLongPathNameW(text.c_str(), resolved.data(), needed));
    if (length == 0 || length >= needed) return std::nullopt;
    resolved.resize(length);
    return resolved;
}

}  // namespace

std::wstring LongName(const TreePath& path) {
    std::wstring name = path.Name();
    // Only a name with a tilde can be a short one.
    if (name.find(L'~') == std::wstring::npos) return name;
    const auto resolved = LongPathOf(WithoutPrefixWhenItFits(path.Text()));
    return resolved ? resolved->substr(resolved->find_last_of(L'\\') + 1) : name;
}

std::wstring ComparableText(const TreePath& path) {
    // The longest part that is there, in its long form; the rest as given.
    // Paths that fit go without the "\\?\" prefix, with which not every
    // implementation resolves short names; the prefix is left out of the
    // text either way.
    std::wstring head = path.Text(), tail;
    // Only a name with a tilde can be a short one: other paths are not
    // asked about, which costs a listing of every folder on the way.
    const bool mayBeShort = head.find(L'~') != std::wstring::npos;
    head = WithoutPrefixWhenItFits(head);
    const size_t kRoot = head.compare(0, 4, L"\\\\?\\") == 0 ? 7 : 3;  // past "C:\"
    while (mayBeShort) {
        if (auto resolved = LongPathOf(head)) {
            head = std::move(*resolved);
            break;
        }
        const size_t slash = head.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash < kRoot) break;
        tail.insert(0, head, slash, std::wstring::npos);
        head.resize(slash);
    }
    std::wstring text = head + tail;
    if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        text = L"\\" + text.substr(7);
    } else if (text.compare(0, 4, L"\\\\?\\") == 0) {
        text = text.substr(4);
    }
    // The case every spelling maps to, the same in every locale.
    std::wstring upper(text.size(), L'\0');
    const int mapped =
        text.empty()
            ? 0
            : PLATFORM_CALL("LCMapStringEx", 0,
                            LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(),
                                          static_cast<int>(text.size()), upper.data(),
                                          static_cast<int>(upper.size()), nullptr, nullptr, 0));
    if (mapped == static_cast<int>(text.size())) return upper;
    for (wchar_t& c : text) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    return text;
}

PathState StateOf(const TreePath& path) {
    PathState state;
    const DWORD attributes = PLATFORM_CALL("GetFileAttributesW", INVALID_FILE_ATTRIBUTES,
                                           GetFileAttributesW(path.Text().c_str()));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        state.kind = PathState::Kind::Present;
        state.attributes = attributes;
    } else if (IsNotFound(GetLastError())) {
        state.kind = PathState::Kind::Absent;
    }
    return state;
}

void Pause(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace platform
