// The calls of a workspace as page script reads them: the call details file,
// the missing calls, a call in any workspace of a set, and file lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/held_file.h"
#include "tests/support/workspace_fixture.h"

namespace fs = std::filesystem;
using testing_support::TextOf;
using testing_support::WriteBytes;

namespace {

class Calls : public testing_support::WorkspaceTest {
  protected:
    std::optional<std::string> Details(const std::string& workspace) {
        return TextOf(Call("getCallDetailsForWorkspace", {outer, workspace, "In"}));
    }
    std::optional<std::string> Missing(const std::string& list, const std::string& ws = "W") {
        return TextOf(Call("getMissingOrBufferingCalls", {outer, ws, "In", list}));
    }
    std::optional<bool> InSet(const std::string& call) {
        return Flag("isCallInWorkspace", {outer, "In", call});
    }
    std::optional<std::string> FilesIn(const fs::path& folder, const std::string& suffix) {
        return TextOf(Call("getFileNamesInDir", {folder.string(), suffix}));
    }
};

// The worked example of the call details file.
const std::string kCallsDat(
    "\x02\0\0\0\x07\0\0\0\x01\0\0\0\x03\0\0\0\x02"
    "ab\x03xyz\xFF\xFF\xFF\xFF\0\0\0\0",
    31);

TEST_F(Calls, DetailsAreReadEvenWhileTheWriterHoldsTheFile) {
    fs::create_directories(Ws("W"));
    WriteBytes(Ws("W") / "Calls.dat", kCallsDat);
    testing_support::HeldFile held(scratch, Ws("W") / "Calls.dat", "rw");
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Details("W"), "[[7,1,[3,'ab','xyz']],[-1,0]]");
}

TEST_F(Calls, DetailsOfAMissingFileOrARefusedNameFailToOpen) {
    fs::create_directories(Ws("W"));
    EXPECT_EQ(Details("W"), "Failed to open file");
    EXPECT_EQ(Details(".."), "Failed to open file");
    EXPECT_EQ(Details(std::string(250, 'n')), "Failed to open file");
}

TEST_F(Calls, MissingCallsAreTheListedNamesWithoutAnEntry) {
    EXPECT_EQ(Missing("a,b,,c"), "a,b,,c") << "no Calls subfolder: the list as given";
    fs::create_directories(Ws("W") / "Calls" / "c");
    WriteBytes(Ws("W") / "Calls" / "b", "");
    WriteBytes(Ws("W") / "Calls" / "Dup.wav", "");
    EXPECT_EQ(Missing("a,b,,c"), "a");
    EXPECT_EQ(Missing(",a,b,a,,"), "a,a") << "order and duplicates kept, empty pieces dropped";
    EXPECT_EQ(Missing("B,dup.wav,Dup,Dup.wav"), "B,dup.wav,Dup") << "whole names, case included";
    EXPECT_EQ(Missing("b,c"), "");
    EXPECT_EQ(Missing(".,..,*,Calls\\b"), ".,..,*,Calls\\b");
    EXPECT_EQ(Missing("a,b", ".."), "a,b") << "refused name";
}

TEST_F(Calls, ACallIsFoundInAnyWorkspaceOfTheSetByItsExactName) {
    EXPECT_EQ(InSet("c1"), false) << "no set";
    fs::create_directories(Ws("First") / "Calls");
    fs::create_directories(Ws("Second") / "Calls" / "c1");
    WriteBytes(Set() / "file-not-a-workspace", "");
    EXPECT_EQ(InSet("c1"), true);
    EXPECT_EQ(InSet("C1"), false);
    for (const char* never : {".", "..", "*", "c?", "Calls", "..\\Second\\Calls\\c1", ""}) {
        EXPECT_EQ(InSet(never), false) << never;
    }
    EXPECT_EQ(Flag("isCallInWorkspace", {outer, "..", "c1"}), false);
}

TEST_F(Calls, FileNamesMatchTheirLastFourCharactersAndNeverAFolder) {
    const fs::path f = scratch.path() / "list";
    fs::create_directories(f / "folder.wav");
    for (const char* name : {"a.wav", "b.WAV", "c.wav.txt", "wav", ".wav", "d.wav"}) {
        WriteBytes(f / name, "");
    }
    const auto wavs = FilesIn(f, ".wav");
    EXPECT_TRUE(wavs == "a.wav,.wav,d.wav" || wavs == ".wav,a.wav,d.wav") << *wavs;
    EXPECT_EQ(FilesIn(f, "wav"), "");
    EXPECT_EQ(FilesIn(f, "a.wav"), "");
    EXPECT_EQ(FilesIn(f, ".mp3"), "");
    EXPECT_EQ(FilesIn(f / "missing", ".wav"), "");
}

}  // namespace
