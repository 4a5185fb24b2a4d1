// The list texts on their own, where the edges are easiest to see.
#include <gtest/gtest.h>

#include <string>

#include "workspace/list_texts.h"

namespace {

using namespace std::string_literals;

TEST(ListTexts, QuotedNamesAreNotEscaped) {
    EXPECT_EQ(workspace::QuotedNameList({}), "[]");
    EXPECT_EQ(workspace::QuotedNameList({"North", "O'Brien, J"}), "['North','O'Brien, J']");
}

TEST(ListTexts, MissingCallsKeepOrderAndDuplicatesAndDropEmptyPieces) {
    EXPECT_EQ(workspace::MissingCallsText(",a,b,,a,c,", {"b"}), "a,a,c");
    EXPECT_EQ(workspace::MissingCallsText("A,a", {"a"}), "A");
    EXPECT_EQ(workspace::MissingCallsText("", {}), "");
    EXPECT_EQ(workspace::MissingCallsText(",,", {}), "");
}

TEST(ListTexts, FileNamesMatchExactlyTheirLastFourCharacters) {
    const std::vector<std::string> names = {"a.wav", ".wav", "wav", "b.WAV", "c.wav.x", "é.wav"};
    EXPECT_EQ(workspace::FileNamesText(names, ".wav"), "a.wav,.wav,é.wav");
    EXPECT_EQ(workspace::FileNamesText(names, "wav"), "");
    EXPECT_EQ(workspace::FileNamesText(names, "a.wav"), "");
}

TEST(ListTexts, VolumesEndAtTheFirstEmptyEntryAndSkipEntriesWithoutEquals) {
    EXPECT_EQ(workspace::VolumeListText(""), "[]");
    EXPECT_EQ(workspace::VolumeListText("7=80\0"
                                        "12=100\0\0"s),
              "[[7,80],[12,100]]");
    EXPECT_EQ(workspace::VolumeListText("5=a=b\0note\0=\0\0"s), "[[5,a=b],[,]]");
    EXPECT_EQ(workspace::VolumeListText("1=2\0\0"
                                        "3=4\0"s),
              "[[1,2]]");
    EXPECT_EQ(workspace::VolumeListText("1=2"), "[[1,2]]") << "no final NUL";
}

}  // namespace
