// The workspace path rule on its own: which names pass, what a path is
// composed of, and where it stops.
#include <gtest/gtest.h>

#include <string>

#include "platform/narrow_text.h"
#include "workspace/workspace_path.h"

namespace {

using workspace::ComposeWorkspacePath;
using workspace::IsAcceptableName;
using Status = workspace::WorkspacePath::Status;

const std::string kAppData = "C:\\users\\u\\AppData\\Local";

TEST(WorkspaceNames, PassOrdinaryNamesUnchanged) {
    for (const char* name : {"North", "a b", ".hidden", "x..y", "O'Brien, J. Smith", "caf\xC3\xA9",
                             "#1 [draft] {x} =%;", "...a", "\x7F", " a", "CONSOLE", "COM10",
                             "COM00", "LPT", "nul-data", "aux_1", "CON$", "A.CON", "x.nul"}) {
        EXPECT_TRUE(IsAcceptableName(name)) << name;
    }
}

TEST(WorkspaceNames, RefuseNamesThatLeaveTheirFolderOrNoFolderCanBear) {
    const std::string refused[] = {"",
                                   ".",
                                   "..",
                                   "...",
                                   " ",
                                   " . ",
                                   "a\\b",
                                   "\\",
                                   "a/b",
                                   "/",
                                   "C:",
                                   "a:b",
                                   "*",
                                   "a*",
                                   "?",
                                   "<",
                                   ">",
                                   "|",
                                   "\"q\"",
                                   "a\tb",
                                   "\n",
                                   "\x1F",
                                   std::string("a\0b", 3),
                                   "a.",
                                   "a ",
                                   "a. ",
                                   "O'Brien, J."};
    for (const std::string& name : refused) {
        EXPECT_FALSE(IsAcceptableName(name)) << testing::PrintToString(name);
    }
}

TEST(WorkspaceNames, RefuseDeviceNamesInAnyCaseAloneOrWithAnExtension) {
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "COM0", "COM1", "COM9", "LPT0", "LPT1",
                               "LPT9", "CONIN$", "CONOUT$"}) {
        std::string lower = device;
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        std::string mixed = lower;
        mixed[0] = device[0];
        for (const std::string& name :
             {std::string(device), lower, mixed, lower + ".txt", mixed + ".log.1", lower + " .wav",
              std::string(device) + ".", std::string(device) + "..x"}) {
            EXPECT_FALSE(IsAcceptableName(name)) << name;
        }
    }
    // Superscript digits, in the ANSI and in the UTF-8 bytes.
    for (const char* name : {"COM\xB9", "lpt\xB2.txt", "COM\xC2\xB3", "LPT\xC2\xB9.log"}) {
        EXPECT_FALSE(IsAcceptableName(name)) << name;
    }
}

TEST(WorkspacePaths, JoinTheNamesInTheOrderGivenThenTheLeaf) {
    const auto path = ComposeWorkspacePath(kAppData, {"X", "Z", "Y"}, "Workspace.ini");
    ASSERT_EQ(path.status, Status::Composed);
    EXPECT_EQ(path.text, kAppData + "\\Dravenil\\Workspaces\\X\\Z\\Y\\Workspace.ini");
    EXPECT_EQ(path.baseLength, kAppData.size());
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {}).text, kAppData + "\\Dravenil\\Workspaces");
    EXPECT_EQ(ComposeWorkspacePath("D:\\", {"o"}).text, "D:\\Dravenil\\Workspaces\\o");
    EXPECT_EQ(ComposeWorkspacePath("\\\\srv\\share\\u", {"o"}, "Calls\\*").text,
              "\\\\srv\\share\\u\\Dravenil\\Workspaces\\o\\Calls\\*");
}

TEST(WorkspacePaths, SayWhyThereIsNoPath) {
    EXPECT_EQ(ComposeWorkspacePath(std::nullopt, {"o", "i"}).status, Status::NoLocalAppData);
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {"o", "..", "w"}).status, Status::Refused);
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {"o", "i", ""}).status, Status::Refused);
    // A folder that depends on the current drive or folder is never a base.
    for (const char* base : {"", "relative", "\\rooted", "C:relative", "\\\\\\x", "C:"}) {
        EXPECT_EQ(ComposeWorkspacePath(std::string(base), {"o"}).status, Status::Refused) << base;
    }
}

TEST(WorkspacePaths, HoldAtMost259Characters) {
    const std::string base = kAppData + "\\Dravenil\\Workspaces\\";
    const std::string fits(259 - base.size(), 'n');
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {fits}).text, base + fits);
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {fits + "n"}).status, Status::Refused);
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {fits.substr(2)}, "*").text.size(), 259u);
    EXPECT_EQ(ComposeWorkspacePath(kAppData, {fits.substr(1)}, "*").status, Status::Refused);
}

// No path Windows takes is longer than 32,767 characters; nor one with a NUL.
TEST(WorkspacePaths, AUsablePathHasAtMost32767BytesAndNoNul) {
    EXPECT_TRUE(platform::IsUsablePath(std::string(32767, 'p')));
    EXPECT_FALSE(platform::IsUsablePath(std::string(32768, 'p')));
    EXPECT_FALSE(platform::IsUsablePath(std::string("C:\\a\0b", 6)));
}

}  // namespace
