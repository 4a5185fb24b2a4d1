// Workspace folders as page script manages them, against real folders below
// the local application-data folder. Every test works below an outer name of
// its own and runs with its current folder in a scratch folder on C:.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/held_file.h"
#include "tests/support/workspace_fixture.h"

namespace fs = std::filesystem;
using embedding::Value;
using testing_support::FlagOf;
using testing_support::ListFolder;
using testing_support::ReadBytes;
using testing_support::TextOf;
using testing_support::WriteBytes;

namespace {

class Workspaces : public testing_support::WorkspaceTest {
  protected:
    std::optional<std::string> List(const std::string& inner = "In") {
        return TextOf(Call("getWorkspaceList", {outer, inner}));
    }
    std::optional<double> Usage(const std::string& inner = "In") {
        const auto outcome = Call("getWorkspaceUsage", {outer, inner});
        if (!std::holds_alternative<double>(outcome.value)) return std::nullopt;
        return std::get<double>(outcome.value);
    }
    // A workspace holding nested content, hidden and read-only files among it.
    void MakeNested(const std::string& name) {
        fs::create_directories(Ws(name) / "Calls" / "c1" / "deep");
        WriteBytes(Ws(name) / "Calls.dat", std::string("\x01\x00\x00\x00", 4));
        WriteBytes(Ws(name) / "Workspace.ini", "[General]\r\nCurrentView=grid\r\n");
        WriteBytes(Ws(name) / "Calls" / "c1" / "deep" / "audio.wav", std::string(3000, 'a'));
        WriteBytes(Ws(name) / "Calls" / "hidden.idx", "h");
        SetFileAttributesA((Ws(name) / "Calls" / "hidden.idx").string().c_str(),
                           FILE_ATTRIBUTE_HIDDEN);
        WriteBytes(Ws(name) / "Calls" / "locked.idx", "r");
        SetFileAttributesA((Ws(name) / "Calls" / "locked.idx").string().c_str(),
                           FILE_ATTRIBUTE_READONLY);
        fs::create_directories(Ws(name) / "Empty");
    }
};

// ---- getWorkspaceList ----------------------------------------------------------

TEST_F(Workspaces, ListIsEmptyTextForAMissingSetAndBracketsForAnEmptyOne) {
    EXPECT_EQ(List(), "");
    fs::create_directories(Set());
    EXPECT_EQ(List(), "[]");
}

TEST_F(Workspaces, ListNamesFilesLikeWorkspacesAndEscapesOnlyTheQuote) {
    fs::create_directories(Ws("North"));
    WriteBytes(Set() / "O'Brien, J.txt", "");
    const auto list = List();
    ASSERT_TRUE(list);
    // The search's order is the file system's; both names are there, the
    // quote escaped so that the text evaluates to the names.
    EXPECT_TRUE(*list == "['North','O\\'Brien, J.txt']" || *list == "['O\\'Brien, J.txt','North']")
        << *list;
}

TEST_F(Workspaces, ListHasNoLengthLimit) {
    for (int i = 0; i < 150; ++i) {
        fs::create_directories(Ws("workspace-number-" + std::to_string(1000 + i)));
    }
    const auto list = List();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 2 + 150 * 24 - 1) << "150 names of 21 characters, quoted, and commas";
    EXPECT_NE(list->find("'workspace-number-1149'"), std::string::npos);
    EXPECT_EQ(list->back(), ']');
}

// ---- createWSFolder ----------------------------------------------------------

TEST_F(Workspaces, CreateMakesEveryLevelOnceAndReportsWhatExists) {
    EXPECT_EQ(Flag("createWSFolder", {outer, "W", "In"}), true);
    EXPECT_EQ(Flag("createWSFolder", {outer, "W", "In"}), true);
    EXPECT_EQ(ListFolder(Set()), "W");
    EXPECT_EQ(ListFolder(Ws("W")), "Calls");
    EXPECT_EQ(Flag("doesWorkspaceExist", {outer, "W", "In"}), true);

    WriteBytes(Ws("Blocked"), "a file where the workspace should be");
    EXPECT_EQ(Flag("createWSFolder", {outer, "Blocked", "In"}), false);
    EXPECT_EQ(ReadBytes(Ws("Blocked")), "a file where the workspace should be");
}

// ---- renameWS ------------------------------------------------------------------

TEST_F(Workspaces, RenameMovesAWorkspaceButNeverOntoAnotherOrFromNothing) {
    MakeNested("Old");
    fs::create_directories(Ws("Taken"));
    const std::string content = Tree(Ws("Old"));
    EXPECT_EQ(Flag("renameWS", {outer, "Old", "Taken", "In"}), false);
    EXPECT_EQ(Flag("renameWS", {outer, "Missing", "Other", "In"}), false);
    EXPECT_EQ(ListFolder(Set()), "Old Taken");
    EXPECT_EQ(Flag("renameWS", {outer, "Old", "New", "In"}), true);
    EXPECT_EQ(ListFolder(Set()), "New Taken");
    EXPECT_EQ(Tree(Ws("New")), content);
}

// ---- deleteWorkspace -----------------------------------------------------------------

TEST_F(Workspaces, DeleteRemovesTheWholeWorkspaceAndNothingBeside) {
    if (const auto why = WhyNoReadOnlyFiles(); !why.empty()) GTEST_SKIP() << why;
    MakeNested("Gone");
    MakeNested("Kept");
    const std::string kept = Tree(Ws("Kept"));
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Gone", "In"}), true);
    EXPECT_EQ(ListFolder(Set()), "Kept");
    EXPECT_EQ(Tree(Ws("Kept")), kept);
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Gone", "In"}), true) << "already gone";
}

TEST_F(Workspaces, DeleteIsFalseWhenPartOfTheWorkspaceRemains) {
    MakeNested("Busy");
    testing_support::HeldFile held(scratch, Ws("Busy") / "Calls.dat", "none");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Flag("deleteWorkspace", {outer, "Busy", "In"}), false);
    held.Release();
    EXPECT_TRUE(fs::exists(Ws("Busy") / "Calls.dat"));
}

// ---- copyWSFolder ------------------------------------------------------------------

TEST_F(Workspaces, CopyDuplicatesNestedContentAndLeavesTheSource) {
    MakeNested("Src");
    const std::string source = Tree(Ws("Src"));
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), true);
    EXPECT_EQ(Tree(Ws("Dst")), source);
    EXPECT_EQ(Tree(Ws("Src")), source);
    EXPECT_EQ(ReadBytes(Ws("Dst") / "Calls" / "c1" / "deep" / "audio.wav"), std::string(3000, 'a'));
}

TEST_F(Workspaces, CopyIntoAnExistingWorkspaceReplacesSameNamesAndKeepsTheRest) {
    MakeNested("Src");
    fs::create_directories(Ws("Dst"));
    WriteBytes(Ws("Dst") / "Workspace.ini", "old settings");
    WriteBytes(Ws("Dst") / "extra.txt", "kept");
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Src", "Dst"}), true);
    EXPECT_EQ(ReadBytes(Ws("Dst") / "Workspace.ini"), ReadBytes(Ws("Src") / "Workspace.ini"));
    EXPECT_EQ(ReadBytes(Ws("Dst") / "extra.txt"), "kept");
}

TEST_F(Workspaces, CopyOfAMissingSourceIsFalseAndOfAnEmptyOneMakesAnEmptyCopy) {
    fs::create_directories(Set());
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Missing", "Dst"}), false);
    EXPECT_EQ(ListFolder(Set()), "");
    fs::create_directories(Ws("Empty"));
    EXPECT_EQ(Flag("copyWSFolder", {outer, "In", "Empty", "Dst"}), true);
    EXPECT_EQ(ListFolder(Set()), "Dst Empty");
    EXPECT_EQ(ListFolder(Ws("Dst")), "");
}

// ---- getWorkspaceUsage and doesWorkspaceExist --------------------------------------

TEST_F(Workspaces, UsageCountsWholeKibPerFileAndSkipsHiddenFolders) {
    EXPECT_EQ(Usage(), 0.0) << "missing set";
    fs::create_directories(Ws("A") / "Calls");
    for (int i = 0; i < 10; ++i) WriteBytes(Ws("A") / ("small" + std::to_string(i)), "x");
    WriteBytes(Ws("A") / "a1000", std::string(1000, 'x'));
    EXPECT_EQ(Usage(), 0.0);
    WriteBytes(Ws("A") / "Calls" / "mib", std::string(1048576, 'x'));
    WriteBytes(Ws("A") / "k2047", std::string(2047, 'x'));  // 1 KiB
    fs::create_directories(Ws("A") / "Hidden");
    WriteBytes(Ws("A") / "Hidden" / "skipped", std::string(4096, 'x'));
    SetFileAttributesA(Ws("A").string().append("\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(Ws("A") / "hidden-file", std::string(2048, 'x'));  // 2 KiB, counted
    SetFileAttributesA(Ws("A").string().append("\\hidden-file").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Usage(), (1024.0 + 1 + 2) / 1024.0 / 1024.0);
}

TEST_F(Workspaces, UsageCountsAFileOfFourGibOrMoreWhole) {
    fs::create_directories(Ws("Big"));
    const std::string path = (Ws("Big") / "huge.wav").string();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (4LL << 30) + 3 * 1024 + 5;  // sparse on the disk
    const bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);
    EXPECT_EQ(Usage(), 4.0 + 3.0 / 1024 / 1024);
}

TEST_F(Workspaces, ExistsForAFolderOrAFileOfTheName) {
    fs::create_directories(Ws("Folder"));
    WriteBytes(Ws("File"), "");
    EXPECT_EQ(Flag("doesWorkspaceExist", {outer, "Folder", "In"}), true);
    EXPECT_EQ(Flag("doesWorkspaceExist", {outer, "File", "In"}), true);
    EXPECT_EQ(Flag("doesWorkspaceExist", {outer, "Missing", "In"}), false);
}

// ---- Names that would leave the workspace set ----------------------------------------

struct Refused {
    const char* method;
    std::vector<Value> args;
    Value failure;
};

TEST_F(Workspaces, HostileNamesAreRefusedAndTouchNothing) {
    MakeNested("W");
    fs::create_directories(Set("Other") / "X");
    const std::string longName(250, 'n');
    const std::vector<std::string> hostile = {"..",   ".",  "",     " . ",   "*",  "W\\..\\..",
                                              "../W", "C:", "C:\\", "\\",    "W?", "\"W\"",
                                              "<W>",  "W|", "W\tX", longName};
    const std::string before = Surroundings();
    for (const std::string& bad : hostile) {
        const std::string& o = outer;
        const std::vector<Refused> calls = {
            {"getWorkspaceList", {bad, "In"}, std::string()},
            {"getWorkspaceList", {o, bad}, std::string()},
            {"getWorkspaceUsage", {bad, "In"}, 0.0},
            {"getWorkspaceUsage", {o, bad}, 0.0},
            {"createWSFolder", {bad, "W2", "In"}, false},
            {"createWSFolder", {o, bad, "In"}, false},
            {"createWSFolder", {o, "W2", bad}, false},
            {"doesWorkspaceExist", {o, bad, "In"}, false},
            {"doesWorkspaceExist", {bad, "W", "In"}, false},
            {"renameWS", {o, "W", bad, "In"}, false},
            {"renameWS", {o, bad, "W2", "In"}, false},
            {"renameWS", {bad, "W", "W2", "In"}, false},
            {"deleteWorkspace", {o, bad, "In"}, false},
            {"deleteWorkspace", {o, "W", bad}, false},
            {"deleteWorkspace", {bad, "W", "In"}, false},
            {"deleteWorkspace", {bad, bad, bad}, false},
            {"copyWSFolder", {o, "In", bad, "W2"}, false},
            {"copyWSFolder", {o, "In", "W", bad}, false},
            {"copyWSFolder", {o, bad, "W", "W2"}, false},
            {"copyWSFolder", {bad, "In", "W", "W2"}, false},
        };
        for (const Refused& c : calls) {
            const auto outcome = Call(c.method, c.args);
            EXPECT_EQ(outcome.value, c.failure)
                << c.method << " with " << testing::PrintToString(bad.substr(0, 20)) << " gave "
                << embedding::Show(outcome);
        }
        ASSERT_EQ(Surroundings(), before) << "after " << testing::PrintToString(bad.substr(0, 20));
    }
}

}  // namespace
