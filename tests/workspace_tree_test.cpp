// Workspaces whose content lies deeper than the narrow functions reach, that
// hold links, or that page script names as Windows reads its own way: what
// delete, copy, usage and the call methods do with them. Every test runs with
// its current folder in a scratch folder on C: whose sentinel the fixture
// checks afterwards, and keeps its own canaries outside the workspace set.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/held_file.h"
#include "tests/support/long_paths.h"
#include "tests/support/workspace_fixture.h"
#include "workspace/workspace_tree.h"

namespace fs = std::filesystem;
using embedding::Value;
using testing_support::LongExists;
using testing_support::LongTree;
using testing_support::MakeLongFolders;
using testing_support::TextOf;
using testing_support::WriteLong;

namespace {

class DeepWorkspaces : public testing_support::WorkspaceTest {
  protected:
    void SetUp() override {
        WorkspaceTest::SetUp();
        // Files that no workspace call may touch, beside the scratch sentinel.
        canaries = scratch.path() / "canaries";
        MakeLongFolders(canaries / "inner");
        WriteLong(canaries / "a.txt", "canary a");
        WriteLong(canaries / "inner" / "b.wav", std::string(8192, 'b'));
        canaryTree = LongTree(canaries);
    }
    void TearDown() override {
        EXPECT_EQ(LongTree(canaries), canaryTree) << "a canary was touched";
        WorkspaceTest::TearDown();
    }

    std::optional<double> Usage() {
        const auto outcome = Call("getWorkspaceUsage", {outer, "In"});
        if (!std::holds_alternative<double>(outcome.value)) return std::nullopt;
        return std::get<double>(outcome.value);
    }

    // A workspace reaching past 400 characters, with read-only and hidden
    // files at the bottom and a hidden folder on the way. Its usage is 7 KiB.
    fs::path MakeDeep(const std::string& name) {
        const fs::path bottom = Ws(name) / "Calls" / std::string(110, 'x') / std::string(110, 'y') /
                                std::string(110, 'z');
        MakeLongFolders(bottom);
        EXPECT_GT(bottom.string().size(), 400u);
        WriteLong(Ws(name) / "Calls.dat", std::string(1024, 'd'));
        WriteLong(bottom / "call.wav", std::string(5000, 'w'), FILE_ATTRIBUTE_READONLY);
        WriteLong(bottom / "index.idx", std::string(2048, 'i'), FILE_ATTRIBUTE_HIDDEN);
        MakeLongFolders(bottom / "cache");
        WriteLong(bottom / "cache" / "skipped", std::string(4096, 's'));
        SetFileAttributesW(testing_support::LongForm(bottom / "cache").c_str(),
                           FILE_ATTRIBUTE_HIDDEN);
        return bottom;
    }

    fs::path canaries;
    std::string canaryTree;
};

// ---- Depth ---------------------------------------------------------------------------

TEST_F(DeepWorkspaces, DeleteRemovesContentPastFourHundredCharacters) {
    if (const auto why = WhyNoReadOnlyFiles(); !why.empty()) GTEST_SKIP() << why;
    MakeDeep("Deep");
    MakeDeep("Kept");
    // A read-only folder on the way.
    SetFileAttributesW(testing_support::LongForm(Ws("Deep") / "Calls").c_str(),
                       FILE_ATTRIBUTE_READONLY);
    const std::string kept = LongTree(Ws("Kept"));
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Deep", "In"}), true);
    EXPECT_FALSE(LongExists(Ws("Deep")));
    EXPECT_EQ(LongTree(Ws("Kept")), kept);
}

TEST_F(DeepWorkspaces, CopyTakesEveryFileAtEveryDepthWithItsBytesAndAttributes) {
    if (const auto why = WhyNoReadOnlyFiles(); !why.empty()) GTEST_SKIP() << why;
    MakeDeep("Deep");
    const std::string source = LongTree(Ws("Deep"));
    ASSERT_NE(source.find("call.wav 5000 #"), std::string::npos);
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Deep", "Copy"}), true);
    EXPECT_EQ(LongTree(Ws("Copy")), source);
    EXPECT_EQ(LongTree(Ws("Deep")), source);
    // Copied again onto itself: read-only and hidden files are replaced.
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Deep", "Copy"}), true);
    EXPECT_EQ(LongTree(Ws("Copy")), source);
}

TEST_F(DeepWorkspaces, UsageCountsFilesAtEveryDepth) {
    MakeDeep("Deep");
    EXPECT_EQ(Usage(), (1.0 + 4 + 2) / 1024 / 1024);
}

TEST_F(DeepWorkspaces, AWorkspaceJustUnderTheLimitIsDeletedWithTheCallsBeyondIt) {
    const size_t room = 255 - Ws("").string().size();
    const std::string name(room, 'L');
    ASSERT_EQ(Ws(name).string().size(), 255u);
    MakeLongFolders(Ws(name) / "Calls" / "c1");
    WriteLong(Ws(name) / "Calls" / "c1" / "audio.wav", "audio");
    WriteLong(Ws(name) / "Calls.dat", "calls");
    EXPECT_EQ(Flag("doesWorkspaceExist", {outer, name, "In"}), true);
    EXPECT_EQ(Flag("deleteWorkspace", {outer, name, "In"}), true);
    EXPECT_FALSE(LongExists(Ws(name)));
}

TEST_F(DeepWorkspaces, ACopyOntoAFileHeldWithoutSharingIsFalseAndKeepsWhatItCopied) {
    MakeLongFolders(Ws("Src") / "Calls");
    WriteLong(Ws("Src") / "Workspace.ini", "[General]\r\nCurrentView=new\r\n");
    WriteLong(Ws("Src") / "Calls" / "c1", "call one");
    MakeLongFolders(Ws("Dst"));
    WriteLong(Ws("Dst") / "Workspace.ini", "old settings");
    testing_support::HeldFile held(scratch, Ws("Dst") / "Workspace.ini", "none");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), false);
    held.Release();
    EXPECT_EQ(testing_support::ReadBytes(Ws("Dst") / "Workspace.ini"), "old settings");
    EXPECT_EQ(testing_support::ReadBytes(Ws("Dst") / "Calls" / "c1"), "call one");
}

TEST_F(DeepWorkspaces, ACopyOntoItsOwnNameInAnotherCaseChangesNothing) {
    MakeLongFolders(Ws("Same") / "Calls");
    WriteLong(Ws("Same") / "Calls.dat", "calls");
    const std::string before = LongTree(Set());
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Same", "SAME"}), true);
    EXPECT_EQ(LongTree(Set()), before);
}

TEST_F(DeepWorkspaces, ACallWhosePathIsTooLongForTheNarrowFunctionsIsStillFound) {
    const std::string ws(150, 'w');
    const std::string call = "call-" + std::string(60, '7');
    MakeLongFolders(Ws(ws) / "Calls");
    ASSERT_LE((Ws(ws) / "Calls" / "*").string().size(), 259u);
    ASSERT_GT((Ws(ws) / "Calls" / call).string().size(), 259u);
    WriteLong(Ws(ws) / "Calls" / call, "");
    EXPECT_EQ(TextOf(Call("getMissingOrBufferingCalls", {outer, ws, "In", call + ",absent"})),
              "absent");
    EXPECT_EQ(Flag("isCallInWorkspace", {outer, "In", call}), true);
    EXPECT_EQ(Flag("isCallInWorkspace", {outer, "In", call + "8"}), false);
}

// ---- Links -----------------------------------------------------------------------------

// Someone else's folders and file, outside the workspace set, and links to
// them. A link is removed as itself where the platform opens it as itself
// (Windows); where it opens as what it leads to (Wine), nothing is removed
// through it, so it stays and so does the workspace: each delete gives the
// one answer the platform allows. "Gone" and "kept" are what the parent
// folder lists.
// Each test runs with both kinds of link, each where it can be made.
class LinkedWorkspaces : public DeepWorkspaces,
                         public ::testing::WithParamInterface<testing_support::LinkKind> {
  protected:
    void SetUp() override {
        DeepWorkspaces::SetUp();
        target = scratch.path() / "elsewhere";
        empty = scratch.path() / "empty";
        MakeLongFolders(target / "sub");
        MakeLongFolders(empty);
        WriteLong(target / "precious.wav", std::string(4096, 'p'));
        WriteLong(target / "sub" / "more.wav", std::string(4096, 'm'));
        targetTree = LongTree(target);
    }
    void TearDown() override {
        for (const fs::path& link : links) EXPECT_TRUE(testing_support::RemoveLink(link));
        EXPECT_EQ(LongTree(target), targetTree) << "the link's target was touched";
        EXPECT_TRUE(testing_support::ListedInParent(empty)) << "the empty target was removed";
        DeepWorkspaces::TearDown();
    }
    // A skip ends only the function it is in: each test skips itself when
    // this is false.
    [[nodiscard]] bool Link(const fs::path& link, const fs::path& to) {
        if (!testing_support::MakeLink(link, to, GetParam())) return false;
        links.push_back(link);
        removedAsItself = testing_support::OpensAsItself(link);
        return true;
    }
    // The delete's answer, and whether it left `link` and the workspace
    // listed as that answer says.
    void ExpectDeleted(const char* workspace, const fs::path& link, const std::string& what) {
        EXPECT_EQ(Flag("deleteWorkspace", {outer, workspace, "In"}), removedAsItself) << what;
        EXPECT_EQ(testing_support::ListedInParent(link), !removedAsItself) << what;
        EXPECT_EQ(testing_support::ListedInParent(Ws(workspace)), !removedAsItself) << what;
        if (removedAsItself) links.pop_back();
    }

    std::string NoLink(const std::string& to = "a folder") const {
        return std::string("no way to make a ") + testing_support::NameOf(GetParam()) + " to " +
               to + " here";
    }
    bool LinksToFiles() const { return GetParam() == testing_support::LinkKind::Symbolic; }

    fs::path target, empty;
    std::string targetTree;
    std::vector<fs::path> links;
    bool removedAsItself = false;
};

INSTANTIATE_TEST_SUITE_P(Kinds, LinkedWorkspaces, ::testing::ValuesIn(testing_support::kLinkKinds),
                         [](const auto& info) { return testing_support::TestNameOf(info.param); });

TEST_P(LinkedWorkspaces, ALinkAsTheWorkspaceOrInItIsRemovedOnlyAsItself) {
    const std::pair<const char*, fs::path> targets[] = {
        {"a folder", target}, {"an empty folder", empty}, {"a file", target / "precious.wav"}};
    for (const auto& [kind, to] : targets) {
        if (to == target / "precious.wav" && !LinksToFiles()) continue;
        MakeLongFolders(Set());
        if (!Link(Ws("Linked"), to)) GTEST_SKIP() << NoLink(kind);
        ExpectDeleted("Linked", Ws("Linked"), std::string("a workspace that is a link to ") + kind);
        MakeLongFolders(Ws("W") / "Calls");
        WriteLong(Ws("W") / "Calls" / "c1", std::string(1024, 'c'));
        if (!Link(Ws("W") / "Calls" / "escape", to)) GTEST_SKIP() << NoLink(kind);
        ExpectDeleted("W", Ws("W") / "Calls" / "escape", std::string("a link inside to ") + kind);
        for (const fs::path& link : links) ASSERT_TRUE(testing_support::RemoveLink(link));
        links.clear();
        ASSERT_TRUE(testing_support::RemoveLongTree(Set()));
    }
}

// A link at each level from the workspace down: where a link opens as itself
// its folder lists it with the reparse attribute, and the walks leave it as
// a link by that. Usage counts only the call beside it, the copy is not
// whole and holds nothing of the link, and the delete's answer is the
// platform's.
TEST_P(LinkedWorkspaces, ALinkAtEveryLevelIsNeitherCopiedNorCountedNorFollowed) {
    const fs::path levels[] = {Ws("W"), Ws("W") / "top", Ws("W") / "Calls" / "link",
                               Ws("W") / "Calls" / "a" / "b" / "link"};
    for (const fs::path& link : levels) {
        SCOPED_TRACE(link.string());
        MakeLongFolders(Ws("W") / "Calls" / "a" / "b");
        if (link == Ws("W")) {
            ASSERT_TRUE(testing_support::RemoveLongTree(Ws("W")));
        } else {
            WriteLong(Ws("W") / "Calls" / "c1", std::string(1024, 'c'));
        }
        if (!Link(link, target)) GTEST_SKIP() << NoLink();
        if (removedAsItself) {
            WIN32_FILE_ATTRIBUTE_DATA listed{};
            ASSERT_TRUE(GetFileAttributesExW(testing_support::LongForm(link).c_str(),
                                             GetFileExInfoStandard, &listed));
            EXPECT_TRUE(listed.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        }
        EXPECT_EQ(Usage(), link == Ws("W") ? 0.0 : 1.0 / 1024 / 1024);
        EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "W", "Copy"}), false);
        EXPECT_FALSE(LongExists(Ws("Copy") / link.lexically_relative(Ws("W"))));
        ExpectDeleted("W", link, "the link at this level");
        for (const fs::path& made : links) ASSERT_TRUE(testing_support::RemoveLink(made));
        links.clear();
        ASSERT_TRUE(testing_support::RemoveLongTree(Set()));
    }
}

// A set moved to another place and linked back: the walks go through the
// link above the workspaces, as to any folder.
TEST_P(LinkedWorkspaces, ASetFolderThatIsALinkIsWalkedThrough) {
    const fs::path moved = scratch.path() / "moved-set";
    MakeLongFolders(moved / "W" / "Calls");
    WriteLong(moved / "W" / "Calls" / "c1", std::string(2048, 'c'));
    MakeLongFolders(Set().parent_path());
    if (!Link(Set(), moved)) GTEST_SKIP() << NoLink();
    EXPECT_EQ(Usage(), 2.0 / 1024 / 1024);
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "W", "Copy"}), true);
    EXPECT_EQ(testing_support::ReadBytes(moved / "Copy" / "Calls" / "c1"), std::string(2048, 'c'));
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "W", "In"}), true);
    EXPECT_FALSE(testing_support::ListedInParent(moved / "W"));
    EXPECT_TRUE(testing_support::ListedInParent(Set()));
    // The link goes while it leads somewhere: Wine does not list one that
    // leads nowhere, so its removal could not be seen.
    EXPECT_TRUE(testing_support::RemoveLink(Set()));
    links.pop_back();
    EXPECT_TRUE(testing_support::RemoveLongTree(moved));
}

TEST_P(LinkedWorkspaces, NothingIsCopiedThroughALinkNorCountedPastOne) {
    MakeLongFolders(Ws("W") / "Calls");
    WriteLong(Ws("W") / "Calls" / "c1", std::string(1024, 'c'));
    if (!Link(Ws("W") / "Calls" / "escape", target)) GTEST_SKIP() << NoLink();
    if (!Link(Ws("Linked"), target)) GTEST_SKIP() << NoLink();
    EXPECT_EQ(Usage(), 1.0 / 1024 / 1024);
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "W", "Copy"}), false);
    EXPECT_EQ(testing_support::ReadBytes(Ws("Copy") / "Calls" / "c1"), std::string(1024, 'c'));
    EXPECT_FALSE(LongExists(Ws("Copy") / "Calls" / "escape"));
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Linked", "Copy2"}), false);
    EXPECT_FALSE(LongExists(Ws("Copy2")));
    // A link to a file is copied neither as a link nor as its target's bytes.
    if (!LinksToFiles()) return;
    MakeLongFolders(Ws("F"));
    ASSERT_TRUE(Link(Ws("F") / "precious.wav", target / "precious.wav"));
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "F", "Copy3"}), false);
    EXPECT_FALSE(LongExists(Ws("Copy3") / "precious.wav"));
}

TEST_P(LinkedWorkspaces, ACopyNeverWritesThroughALinkAtItsDestination) {
    MakeLongFolders(Ws("Src"));
    WriteLong(Ws("Src") / "precious.wav", "overwritten");
    MakeLongFolders(Ws("Dst2"));
    if (!Link(Ws("Dst"), target)) GTEST_SKIP() << NoLink();
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), false);
    if (!LinksToFiles()) return;
    ASSERT_TRUE(Link(Ws("Dst2") / "precious.wav", target / "precious.wav"));
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst2"}), false);
}

// A file with another name outside the store is the outside file itself:
// a copy neither writes a page's bytes into it through its name at the
// destination (read-only or not), nor copies it in through its name at the
// source. The rest of the workspace is copied, and the copy answers false.
TEST_F(DeepWorkspaces, ACopyNeitherReadsNorWritesAFileThatHasAnotherName) {
    const fs::path outside = scratch.path() / "outside.wav";
    const std::string noReadOnly = WhyNoReadOnlyFiles();
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{FILE_ATTRIBUTE_READONLY}}) {
        if (attributes == FILE_ATTRIBUTE_READONLY && !noReadOnly.empty()) {
            GTEST_SKIP() << "the read-only rows: " << noReadOnly;
        }
        for (const bool atSource : {true, false}) {
            SCOPED_TRACE(std::string(atSource ? "at the source" : "at the destination") +
                         (attributes == FILE_ATTRIBUTE_READONLY ? ", read-only" : ""));
            WriteLong(outside, "outside bytes", attributes);
            const DWORD outsideAttributes =
                GetFileAttributesW(testing_support::LongForm(outside).c_str());
            MakeLongFolders(Ws("Src") / "Calls");
            MakeLongFolders(Ws("Dst") / "Calls");
            WriteLong(Ws("Src") / "Calls" / "c0", "own call");
            const fs::path name = (atSource ? Ws("Src") : Ws("Dst")) / "Calls" / "c1";
            if (!atSource) WriteLong(Ws("Src") / "Calls" / "c1", "bytes a page chose");
            ASSERT_TRUE(testing_support::MakeLink(name, outside, testing_support::LinkKind::Hard));
            EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), false);
            EXPECT_EQ(testing_support::ReadBytes(outside), "outside bytes");
            EXPECT_EQ(GetFileAttributesW(testing_support::LongForm(outside).c_str()),
                      outsideAttributes);
            EXPECT_EQ(testing_support::ReadBytes(Ws("Dst") / "Calls" / "c0"), "own call");
            if (atSource) {
                EXPECT_FALSE(LongExists(Ws("Dst") / "Calls" / "c1"));
            }
            // Usage counts it by its listed size; the delete removes only
            // the store's name of it.
            EXPECT_EQ(Flag("deleteWorkspace", {outer, atSource ? "Src" : "Dst", "In"}), true);
            EXPECT_EQ(testing_support::ReadBytes(outside), "outside bytes");
            SetFileAttributesW(testing_support::LongForm(outside).c_str(), FILE_ATTRIBUTE_NORMAL);
            ASSERT_TRUE(testing_support::RemoveLongTree(Set()));
        }
    }
}

// Every method that reaches a workspace's folder, settings file or call
// details by path keeps the walks' rule: with a symbolic link, a junction or
// a hard link at Workspace.ini, at Calls.dat or as the workspace itself,
// nothing outside is read or written. A rename moves only the name.
class LinkedPaths : public DeepWorkspaces,
                    public ::testing::WithParamInterface<testing_support::LinkKind> {};

INSTANTIATE_TEST_SUITE_P(Kinds, LinkedPaths, ::testing::ValuesIn(testing_support::kEveryLinkKind),
                         [](const auto& info) { return testing_support::TestNameOf(info.param); });

TEST_P(LinkedPaths, NoMethodReadsOrWritesThroughALinkBelowTheSet) {
    const auto kind = GetParam();
    const fs::path outside = scratch.path() / "outside";
    MakeLongFolders(outside / "Calls");
    WriteLong(outside / "Calls" / "c1", "a call");
    WriteLong(outside / "Calls.dat", std::string(512, 'd'));
    // The settings file a real workspace would have, with a view to leak.
    MakeLongFolders(Ws("Real"));
    ASSERT_EQ(Flag("writeWSCurrentView", {outer, "Real", "In", "outside view"}), true);
    ASSERT_TRUE(CopyFileW(testing_support::LongForm(Ws("Real") / "Workspace.ini").c_str(),
                          testing_support::LongForm(outside / "Workspace.ini").c_str(), TRUE));
    const std::string before = LongTree(outside);
    const std::string settings = testing_support::ReadBytes(outside / "Workspace.ini");

    struct Place {
        const char* link;  // below the workspace "W"; empty: "W" itself
        bool settingsLinked;
    };
    int made = 0;
    for (const Place& place :
         {Place{"Workspace.ini", true}, Place{"Calls.dat", false}, Place{"", true}}) {
        SCOPED_TRACE(std::string("a ") + testing_support::NameOf(kind) + " at W\\" + place.link);
        MakeLongFolders(Set());
        const fs::path link = *place.link ? Ws("W") / place.link : Ws("W");
        if (*place.link) MakeLongFolders(Ws("W"));
        if (!testing_support::MakeLink(link, *place.link ? outside / place.link : outside, kind)) {
            ASSERT_TRUE(testing_support::RemoveLongTree(Set()));
            continue;  // a kind that cannot lead there (a hard link to a folder, a junction to a
                       // file)
        }
        ++made;
        EXPECT_EQ(TextOf(Call("readWSCurrentView", {outer, "W", "In"})), "");
        EXPECT_EQ(Flag("writeWSCurrentView", {outer, "W", "In", "a page's view"}),
                  !place.settingsLinked);
        EXPECT_EQ(TextOf(Call("getTimelineVols", {outer, "W", "In"})), "[]");
        EXPECT_EQ(TextOf(Call("getCallDetailsForWorkspace", {outer, "W", "In"})),
                  "Failed to open file");
        EXPECT_EQ(TextOf(Call("getMissingOrBufferingCalls", {outer, "W", "In", "c1"})), "c1");
        EXPECT_EQ(Flag("isCallInWorkspace", {outer, "In", "c1"}), false);
        // A real workspace holding a link is made whole and renamed; a link
        // as the workspace is neither.
        EXPECT_EQ(Flag("createWSFolder", {outer, "W", "In"}), *place.link != '\0');
        EXPECT_EQ(Flag("renameWS", {outer, "W", "Moved", "In"}), *place.link != '\0');
        EXPECT_EQ(LongTree(outside), before);
        EXPECT_EQ(testing_support::ReadBytes(outside / "Workspace.ini"), settings);
        EXPECT_TRUE(testing_support::RemoveLink(*place.link ? Ws("Moved") / place.link : Ws("W")));
        ASSERT_TRUE(testing_support::RemoveLongTree(Set()));
    }
    if (made == 0) GTEST_SKIP() << "no way to make a " << testing_support::NameOf(kind) << " here";
}

// A read-only file at a copy's destination is replaced, and a read-only
// folder with a read-only file in it is deleted, as Windows lets its owner.
TEST_F(DeepWorkspaces, ReadOnlyFilesAndFoldersAreReplacedAndRemoved) {
    if (const auto why = WhyReadOnlyFilesDiffer(); !why.empty()) GTEST_SKIP() << why;
    MakeLongFolders(Ws("Src") / "Calls");
    WriteLong(Ws("Src") / "Calls" / "c1", "new");
    MakeLongFolders(Ws("Dst") / "Calls");
    WriteLong(Ws("Dst") / "Calls" / "c1", "old and longer", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), true);
    EXPECT_EQ(testing_support::ReadBytes(Ws("Dst") / "Calls" / "c1"), "new");
    SetFileAttributesW(testing_support::LongForm(Ws("Dst") / "Calls" / "c1").c_str(),
                       FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(testing_support::LongForm(Ws("Dst") / "Calls").c_str(),
                       FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Dst", "In"}), true);
    EXPECT_FALSE(LongExists(Ws("Dst")));
}

// Another program holding a file with delete sharing, as the search indexer
// and antivirus scanners do for moments: the POSIX delete takes its name at
// once, so the workspace goes whole.
TEST_F(DeepWorkspaces, ADeleteSucceedsWhileAReaderHoldsAFileWithDeleteSharing) {
    MakeLongFolders(Ws("Held") / "Calls");
    WriteLong(Ws("Held") / "Calls" / "c1", "being indexed");
    {
        // Whether this system deletes the POSIX way (Windows 10 1809 and
        // later on NTFS; not Wine 8, where a held file stays listed).
        WriteLong(scratch.path() / "probe", "");
        HANDLE probe = CreateFileW(testing_support::LongForm(scratch.path() / "probe").c_str(),
                                   DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD flags = 0x1 | 0x2;
        const bool posix =
            probe != INVALID_HANDLE_VALUE &&
            SetFileInformationByHandle(probe, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &flags,
                                       sizeof flags);
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        if (!posix)
            GTEST_SKIP() << "no POSIX delete here: a held file stays listed until it is closed";
    }
    testing_support::HeldFile held(scratch, Ws("Held") / "Calls" / "c1", "rwd");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Held", "In"}), true);
    EXPECT_FALSE(testing_support::ListedInParent(Ws("Held")));
}

// A call file held open by the player or the recorder: Windows refuses to
// rename the folder that holds it, and renameWS says so.
TEST_F(DeepWorkspaces, ARenameWhileACallFileIsHeldOpenIsFalse) {
    MakeLongFolders(Ws("Open") / "Calls");
    WriteLong(Ws("Open") / "Calls" / "c1", "recording");
    testing_support::HeldFile held(scratch, Ws("Open") / "Calls" / "c1", "rw");
    ASSERT_TRUE(held.Holding());
    {
        // Whether this system refuses so (Windows does; Wine renames).
        MakeLongFolders(scratch.path() / "probe-folder");
        const auto inside = scratch.path() / "probe-folder" / "held";
        WriteLong(inside, "");
        HANDLE open =
            CreateFileW(testing_support::LongForm(inside).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool renamed =
            MoveFileW(testing_support::LongForm(scratch.path() / "probe-folder").c_str(),
                      testing_support::LongForm(scratch.path() / "probe-moved").c_str());
        if (open != INVALID_HANDLE_VALUE) CloseHandle(open);
        if (renamed)
            GTEST_SKIP() << "this system renames a folder that holds an open file (Wine does)";
    }
    EXPECT_EQ(Flag("renameWS", {outer, "Open", "Moved", "In"}), false);
    EXPECT_TRUE(testing_support::ListedInParent(Ws("Open")));
}

// A file Windows keeps compressed (a reparse point of the WOF tag, not a
// link) is counted, copied whole and deleted like any other file.
TEST_F(DeepWorkspaces, ASystemCompressedFileIsCountedCopiedAndDeletedLikeAnyOther) {
    MakeLongFolders(Ws("Packed") / "Calls");
    const fs::path file = Ws("Packed") / "Calls" / "c1";
    const std::string bytes(64 * 1024, 'z');
    WriteLong(file, bytes);
    testing_support::ChildProcess compact("compact.exe /c /exe:xpress4k \"" + file.string() + "\"");
    const bool ran = compact.Started() && compact.WaitForExit(60000);
    const DWORD attributes = GetFileAttributesW(testing_support::LongForm(file).c_str());
    if (!ran || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "no system compression here (compact /exe, Windows 10 and later)";
    }
    EXPECT_EQ(Usage(), 64.0 / 1024 / 1024);
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Packed", "Copy"}), true);
    EXPECT_EQ(testing_support::ReadBytes(Ws("Copy") / "Calls" / "c1"), bytes);
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Packed", "In"}), true);
    EXPECT_FALSE(testing_support::ListedInParent(Ws("Packed")));
}

// Where removal is the classic mark, a reader that lets go a moment later
// does not leave the workspace half deleted: the delete waits for it.
TEST_F(DeepWorkspaces, ADeleteWaitsForAReaderThatLetsGoAMomentLater) {
    MakeLongFolders(Ws("Brief") / "Calls");
    WriteLong(Ws("Brief") / "Calls" / "c1", "being scanned");
    HANDLE reader = CreateFileW(
        testing_support::LongForm(Ws("Brief") / "Calls" / "c1").c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::thread letsGo([reader] {
        Sleep(100);
        CloseHandle(reader);
    });
    const auto deleted = Flag("deleteWorkspace", {outer, "Brief", "In"});
    letsGo.join();
    EXPECT_EQ(deleted, true);
    EXPECT_FALSE(testing_support::ListedInParent(Ws("Brief")));
}

// ---- Progress and stopping ---------------------------------------------------------

// Each walk, followed: every report with totals names the whole walk, the last
// report of a whole walk has done all of it, and a walk told to stop (while it
// counts ahead or after some entries) reports nothing more and leaves part of
// its work undone.
TEST_F(DeepWorkspaces, EachWalkReportsItsWholeAndStopsWhereItIsTold) {
    for (int d = 0; d < 4; ++d) {
        MakeLongFolders(Ws("P") / "Calls" / ("d" + std::to_string(d)));
        for (int f = 0; f < 10; ++f) {
            WriteLong(Ws("P") / "Calls" / ("d" + std::to_string(d)) / ("f" + std::to_string(f)),
                      std::string(1024, 'p'));
        }
    }
    const auto tree = [&](const std::string& name) {
        return *platform::TreePath::FromNarrow(Ws(name).string());
    };
    using Walk = std::function<double(const workspace::ProgressFunction&)>;
    const std::pair<const char*, Walk> walks[] = {
        {"usage", [&](auto& p) { return workspace::FolderSizeKiB(tree(""), p); }},
        {"copy", [&](auto& p) { return double(workspace::CopyTree(tree("P"), tree("C"), p)); }},
        {"delete", [&](auto& p) { return double(workspace::DeleteTree(tree("C"), p)); }},
    };
    for (const auto& [name, walk] : walks) {
        for (const size_t stopAt : {size_t(0), size_t(1), size_t(20)}) {
            const std::string what = std::string(name) + ", stopped at report " +
                                     (stopAt ? std::to_string(stopAt) : std::string("never"));
            if (std::string(name) == "delete") {
                testing_support::RemoveLongTree(Ws("C"));
                ASSERT_EQ(workspace::CopyTree(tree("P"), tree("C")), true);
            }
            std::vector<workspace::WalkProgress> reports;
            const double result = walk([&](const workspace::WalkProgress& now) {
                reports.push_back(now);
                return stopAt == 0 || reports.size() < stopAt;
            });
            ASSERT_FALSE(reports.empty()) << what;
            // Usage gives KiB, a whole set's 40; the others whether they
            // were whole.
            const double whole = std::string(name) == "usage" ? 40.0 : 1.0;
            if (stopAt) {
                EXPECT_EQ(reports.size(), stopAt) << what << ": reports after the stop";
                EXPECT_LT(result, whole) << what;
                continue;
            }
            EXPECT_EQ(result, whole) << what;
            const workspace::WalkProgress& last = reports.back();
            ASSERT_TRUE(last.totalsKnown) << what;
            EXPECT_EQ(last.entriesDone, last.entriesTotal) << what;
            EXPECT_EQ(last.bytesDone, last.bytesTotal) << what;
            for (const workspace::WalkProgress& report : reports) {
                if (!report.totalsKnown) continue;
                EXPECT_EQ(report.entriesTotal, last.entriesTotal) << what << ": partial totals";
                EXPECT_LE(report.entriesDone, report.entriesTotal) << what;
            }
        }
    }
}

// ---- Names Windows reads its own way ----------------------------------------------

// Names the ANSI code page lacks are listed with "?" for each character it
// lacks, never as a look-alike it has that names another folder: Greek
// omega is not "O", full-width "ws" not "ws". Neither spelling reaches them.
TEST_F(DeepWorkspaces, NamesTheCodePageLacksAreListedAsQuestionMarksNotAsOtherFolders) {
    if (GetACP() != 1252) GTEST_SKIP() << "the look-alikes are those of code page 1252";
    for (const wchar_t* name : {L"\u03a9", L"\uff57\uff53", L"ws"}) MakeLongFolders(Set() / name);
    const auto list = TextOf(Call("getWorkspaceList", {outer, "In"}));
    ASSERT_TRUE(list);
    for (const char* listed : {"'ws'", "'?'",
                               "'?"
                               "?'"}) {
        EXPECT_NE(list->find(listed), std::string::npos) << listed << " in " << *list;
    }
    EXPECT_EQ(list->find("'O'"), std::string::npos) << *list;
    EXPECT_EQ(list->find("'ws'"), list->rfind("'ws'")) << *list;
    for (const char* spelling : {"O", "?",
                                 "?"
                                 "?"}) {
        Call("deleteWorkspace", {outer, spelling, "In"});
        Call("renameWS", {outer, spelling, "Other", "In"});
    }
    for (const wchar_t* name : {L"\u03a9", L"\uff57\uff53", L"ws"}) {
        EXPECT_TRUE(LongExists(Set() / name));
    }
    EXPECT_FALSE(LongExists(Ws("Other")));
}

TEST_F(DeepWorkspaces, DeviceNamesAndTrailingDotsOrSpacesAreRefusedWithNothingCreated) {
    MakeLongFolders(Ws("a") / "Calls");
    MakeLongFolders(Ws("W") / "Calls" / "c1");
    const std::string before = Surroundings();
    const std::string& o = outer;
    for (const std::string bad : {"CON", "nul", "Aux.txt", "PRN.log.1", "COM1", "lpt9", "CONIN$",
                                  "conout$", "com7.wav", "a.", "a ", "a. .", "W ", "c1."}) {
        const std::vector<std::pair<const char*, std::vector<Value>>> calls = {
            {"createWSFolder", {o, bad, "In"}},       {"createWSFolder", {bad, "W", "In"}},
            {"createWSFolder", {o, "W", bad}},        {"doesWorkspaceExist", {o, bad, "In"}},
            {"deleteWorkspace", {o, bad, "In"}},      {"deleteWorkspace", {o, "W", bad}},
            {"renameWS", {o, "W", bad, "In"}},        {"renameWS", {o, bad, "X", "In"}},
            {"copyWSFolder", {o, "In", "W", bad}},    {"copyWSFolder", {o, "In", bad, "X"}},
            {"isCallInWorkspace", {o, "In", bad}},    {"writeWSCurrentView", {o, bad, "In", "v"}},
            {"isCallInWorkspace", {bad, "In", "c1"}},
        };
        for (const auto& [method, args] : calls) {
            EXPECT_EQ(Flag(method, args), false) << method << " with " << bad;
        }
        EXPECT_EQ(TextOf(Call("getWorkspaceList", {o, bad})), "") << bad;
        ASSERT_EQ(Surroundings(), before) << "after " << bad;
    }
    // Leading dots and inner dots and spaces are ordinary names.
    for (const std::string good : {".hidden", "a.b c", "CONSOLE", "COM10", "nul-data", "LPT"}) {
        EXPECT_EQ(Flag("createWSFolder", {o, good, "In"}), true) << good;
        EXPECT_TRUE(fs::is_directory(Ws(good) / "Calls")) << good;
    }
}

}  // namespace
