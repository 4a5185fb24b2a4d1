// What each workspace walk does with an entry, decided apart from the file
// system from the entry as a listing gives it, and whether a handle opened
// for it is that entry: Wine has no reparse points but links, and opens a
// link as its target, so the rules for what Windows would show are held
// here.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <tuple>

#include "platform/file_tree.h"
#include "tests/support/long_paths.h"
#include "tests/support/temp_folder.h"
#include "workspace/workspace_tree.h"

namespace {

using workspace::StepFor;
using workspace::TraitsOf;
using workspace::TreeStep;
using workspace::TreeWalk;

constexpr uint32_t kDirectory = 0x10, kHidden = 0x2, kReparse = 0x400;

struct Tag {
    const char* name;
    bool reparse;
    uint32_t tag;
    bool link;
};

// A link is a name for something elsewhere (the name-surrogate tags, and a
// reparse point whose tag is not known); a file or folder a filter keeps in
// another form is walked like any other, except that usage leaves out every
// folder that is a reparse point.
TEST(TreeSteps, OnlyNameSurrogatesAreLinksAndLinksAreNeverEntered) {
    const Tag tags[] = {
        {"plain", false, 0, false},
        {"reparse point of unknown tag", true, 0, true},
        {"symbolic link", true, 0xA000000C, true},
        {"junction", true, 0xA0000003, true},
        {"other name surrogate", true, 0x20000099, true},
        {"system-compressed (WOF)", true, 0x80000017, false},
        {"deduplicated", true, 0x80000013, false},
        {"cloud placeholder", true, 0x9000001A, false},
        {"app execution alias", true, 0x8000001B, false},
    };
    for (const Tag& t : tags) {
        for (const bool folder : {false, true}) {
            for (const bool hidden : {false, true}) {
                platform::TreeEntry entry;
                entry.attributes = (folder ? kDirectory : 0x20) | (hidden ? kHidden : 0) |
                                   (t.reparse ? kReparse : 0);
                entry.reparseTag = t.tag;
                const std::string what = std::string(t.name) + (folder ? " folder" : " file") +
                                         (hidden ? ", hidden" : "");
                EXPECT_EQ(entry.IsLink(), t.link) << what;
                const auto traits = TraitsOf(entry);
                const TreeStep walked = t.link   ? TreeStep::Link
                                        : folder ? TreeStep::Descend
                                                 : TreeStep::File;
                EXPECT_EQ(StepFor(TreeWalk::Delete, traits), walked) << what;
                EXPECT_EQ(StepFor(TreeWalk::Copy, traits), walked) << what;
                // Usage counts every file by its listed size, links too.
                const TreeStep counted = !folder                 ? TreeStep::File
                                         : (t.reparse || hidden) ? TreeStep::Skip
                                                                 : TreeStep::Descend;
                EXPECT_EQ(StepFor(TreeWalk::Usage, traits), counted) << what;
            }
        }
    }
}

// A handle is the listed entry only when it is of the listed id and kind
// (a link opened as itself) and the file system names it as that entry of
// the folder: Wine opens a link as its target, of the target's name.
TEST(TreeSteps, AHandleIsTheListedEntryOnlyWhenItsIdKindAndNameAreThose) {
    platform::TreeEntry file;
    file.name = L"call.wav";
    file.attributes = 0x20;
    file.id = 7;
    platform::TreeEntry link = file;
    link.attributes = 0x20 | kReparse;
    link.reparseTag = 0xA000000C;
    const platform::OpenedEntry asListed{0x20, 0, 7, L"\\Ws\\W\\call.wav"};
    struct Case {
        const char* what;
        const platform::TreeEntry& listed;
        platform::OpenedEntry opened;
        const wchar_t* folder;
        bool same;
    } cases[] = {
        {"the file itself", file, asListed, L"\\Ws\\W", true},
        {"named in another case", file, {0x20, 0, 7, L"\\WS\\w\\CALL.wav"}, L"\\Ws\\W", true},
        {"at the volume's root", file, {0x20, 0, 7, L"\\call.wav"}, L"\\", true},
        {"of any id when none was listed", platform::TreeEntry{L"call.wav", 0x20, 0, 0, 0},
         asListed, L"\\Ws\\W", true},
        {"another id", file, {0x20, 0, 8, L"\\Ws\\W\\call.wav"}, L"\\Ws\\W", false},
        {"a folder", file, {0x10, 0, 7, L"\\Ws\\W\\call.wav"}, L"\\Ws\\W", false},
        {"a link swapped in",
         file,
         {0x20 | kReparse, 0xA000000C, 7, L"\\Ws\\W\\call.wav"},
         L"\\Ws\\W",
         false},
        {"its target, named where it lies",
         file,
         {0x20, 0, 7, L"\\elsewhere\\call.wav"},
         L"\\Ws\\W",
         false},
        {"in a folder whose name it starts with",
         file,
         {0x20, 0, 7, L"\\Ws\\Wx\\call.wav"},
         L"\\Ws\\W",
         false},
        {"another name ending so", file, {0x20, 0, 7, L"\\Ws\\W\\acall.wav"}, L"\\Ws\\W", false},
        {"another entry of the folder, of the listed id",
         file,
         {0x20, 0, 7, L"\\Ws\\W\\what.wav"},
         L"\\Ws\\W",
         false},
        {"a link opened as itself",
         link,
         {0x20 | kReparse, 0xA000000C, 7, L"\\Ws\\W\\call.wav"},
         L"\\Ws\\W",
         true},
        {"a link opened as its target", link, asListed, L"\\Ws\\W", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::IsListedEntry(c.listed, c.opened, c.folder), c.same) << c.what;
    }
}

// A listing's record as Windows writes it (FILE_ID_FULL_DIR_INFORMATION): a
// reparse point's tag is read where the size of extended attributes stands,
// and only for a reparse point.
TEST(TreeSteps, AListedRecordGivesAReparsePointItsTag) {
    struct Record {
        ULONG next, index;
        LARGE_INTEGER times[4], endOfFile, allocation;
        ULONG attributes, nameBytes, eaSizeOrTag;
        LARGE_INTEGER id;
        WCHAR name[8];
    };
    const struct {
        uint32_t attributes, eaSizeOrTag, tag;
        bool link;
    } rows[] = {
        {0x20 | kReparse, 0xA000000C, 0xA000000C, true},         // a symbolic link
        {kDirectory | kReparse, 0x9000601A, 0x9000601A, false},  // a cloud file's folder
        {0x20, 42, 0, false},  // a plain file with extended attributes
    };
    for (const auto& row : rows) {
        Record record{};
        record.attributes = row.attributes;
        record.eaSizeOrTag = row.eaSizeOrTag;
        record.endOfFile.QuadPart = 5;
        record.id.QuadPart = 9;
        record.nameBytes = 2 * sizeof(WCHAR);
        record.name[0] = L'c', record.name[1] = L'1';
        const platform::TreeEntry entry = platform::ListedEntryOf(&record);
        EXPECT_EQ(entry.name, L"c1");
        EXPECT_EQ(entry.reparseTag, row.tag) << std::hex << row.attributes;
        EXPECT_EQ(entry.IsLink(), row.link) << std::hex << row.attributes;
        EXPECT_EQ(entry.size, 5u);
        EXPECT_EQ(entry.id, 9u);
    }
}

// A real listing gives each entry's kind as the file system has it: a link
// with its reparse tag, which decides that it is never entered nor read.
TEST(TreeSteps, AListingGivesALinkItsReparseTag) {
    testing_support::TempFolder folder;
    std::filesystem::create_directories(folder.path() / "target");
    testing_support::WriteBytes(folder.path() / "file.wav", "w");
    if (!testing_support::MakeLink(folder.path() / "link", folder.path() / "target",
                                   testing_support::LinkKind::Symbolic)) {
        GTEST_SKIP() << "no symbolic links here";
    }
    // The tag as the system's own search lists it.
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder.path() / "link").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const uint32_t systemTag = found.dwReserved0;
    const auto path = platform::TreePath::FromWide(folder.path().wstring());
    ASSERT_TRUE(path);
    const auto held = platform::HeldFolder::Open(*path, platform::HeldFolder::Use::Read);
    ASSERT_TRUE(held);
    const platform::FolderListing listing = held->List();
    ASSERT_TRUE(listing.complete);
    for (const auto& [name, link, isFolder] :
         {std::tuple{L"link", true, true}, std::tuple{L"target", false, true},
          std::tuple{L"file.wav", false, false}}) {
        const platform::TreeEntry* entry = listing.Find(name);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->IsLink(), link);
        EXPECT_EQ(entry->reparseTag, link ? systemTag : 0u);
        EXPECT_EQ(held->Enter(*entry, platform::HeldFolder::Use::Read).has_value(),
                  isFolder && !link);
    }
    EXPECT_TRUE(testing_support::RemoveLink(folder.path() / "link"));
    if (systemTag == 0) {
        GTEST_SKIP() << "this system lists a link without its reparse tag (Wine): the kit shows "
                        "the tag read on Windows";
    }
}

}  // namespace
