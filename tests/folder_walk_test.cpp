// The folder walk of the write probe: which prefixes it ensures, in order.
#include <gtest/gtest.h>

#include "host/host_utilities.h"
#include "platform/file_tree.h"

namespace {

using Folders = std::vector<std::string>;

// The prefixes the walk names, as texts.
Folders FolderWalk(const std::string& text) {
    Folders folders;
    for (const size_t length : host::FolderWalk(text)) folders.push_back(text.substr(0, length));
    return folders;
}

TEST(FolderWalk, EnsuresEachPrefixThenTheWholeText) {
    EXPECT_EQ(FolderWalk("D:\\Data\\Rec\\Ws"),
              (Folders{"D:", "D:\\Data", "D:\\Data\\Rec", "D:\\Data\\Rec\\Ws"}));
    EXPECT_EQ(FolderWalk("D:/Data/Rec"), (Folders{"D:", "D:/Data", "D:/Data/Rec"}));
}

TEST(FolderWalk, KeepsATrailingSeparatorOnTheWholeText) {
    EXPECT_EQ(FolderWalk("D:\\Data\\"), (Folders{"D:", "D:\\Data", "D:\\Data\\"}));
}

TEST(FolderWalk, SkipsLeadingAndDoubledSeparators) {
    EXPECT_EQ(FolderWalk("\\\\server\\share"), (Folders{"\\\\server", "\\\\server\\share"}));
    EXPECT_EQ(FolderWalk("/a//b"), (Folders{"/a", "/a//b"}));
}

TEST(FolderWalk, StopsAtBackslashesOnlyOnceNoSlashRemains) {
    EXPECT_EQ(FolderWalk("D:\\A\\B/E"), (Folders{"D:\\A\\B", "D:\\A\\B/E"}));
    EXPECT_EQ(FolderWalk("a/b\\c\\d"), (Folders{"a", "a/b", "a/b\\c", "a/b\\c\\d"}));
}

TEST(FolderWalk, OfTheEmptyTextIsTheEmptyText) {
    EXPECT_EQ(FolderWalk(""), (Folders{""}));
    EXPECT_EQ(FolderWalk("Ws"), (Folders{"Ws"}));
}

}  // namespace

// A long path takes its parts as they stand ("\\?\" turns normalising off): a
// "." or ".." part, or a "/", would reach another folder than the text names.
TEST(TreePaths, TakeOnlyAbsolutePathsOfPlainParts) {
    for (const char* refused : {"C:\\a\\..\\b", "C:\\a\\.\\b", "C:\\..", "C:\\a\\..", "C:\\a/b",
                                "a\\b", "\\a", "C:a", "\\\\server\\..\\x"}) {
        EXPECT_FALSE(platform::TreePath::FromNarrow(refused)) << refused;
    }
    EXPECT_FALSE(platform::TreePath::FromNarrow(std::string("C:\\a\0b", 6)));
    const auto path = platform::TreePath::FromNarrow("C:\\a\\..b\\b..\\...");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->Text(), L"\\\\?\\C:\\a\\..b\\b..\\...");
    EXPECT_EQ(platform::TreePath::FromNarrow("\\\\srv\\share\\x")->Text(),
              L"\\\\?\\UNC\\srv\\share\\x");
}
