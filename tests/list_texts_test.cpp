// The list texts on their own, where the edges are easiest to see.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "workspace/list_texts.h"

namespace {

using namespace std::string_literals;

TEST(ListTexts, QuotedNamesAreEscapedOnlyWhereScriptWouldReadThemOtherwise) {
    EXPECT_EQ(workspace::QuotedNameList({}), "[]");
    EXPECT_EQ(workspace::QuotedNameList({"North", "O'Brien, J"}), "['North','O\\'Brien, J']");
    // Ordinary texts, non-ASCII and bytes that are not UTF-8 included, stay
    // byte for byte; so do other E2 sequences (U+2026, an ellipsis).
    for (const std::string plain :
         {"a,b [c] {d} \"e\" / %", "caf\xC3\xA9 \xE2\x80\xA6", "\xFF\xFE", "\xE2\x80", "\xE2"}) {
        EXPECT_EQ(workspace::QuotedNameList({plain}), "['" + plain + "']");
    }
}

TEST(ListTexts, QuotingEscapesEveryCharacterThatWouldEndTheLiteralOrTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"'];alert(1)//", "'\\'];alert(1)//'"},
        {"a\\", "'a\\\\'"},
        {"\\'", "'\\\\\\''"},
        {"1\r\n2", "'1\\r\\n2'"},
        {"x\xE2\x80\xA8y\xE2\x80\xA9", "'x\\u2028y\\u2029'"},
        {"\t\x01\x1F\x7F"s, "'\\x09\\x01\\x1F\\x7F'"},
        {"\0"s, "'\\x00'"},
        {"", "''"},
    };
    for (const auto& [text, quoted] : cases) {
        std::string out;
        workspace::AppendQuoted(out, text);
        EXPECT_EQ(out, quoted) << testing::PrintToString(text);
    }
}

TEST(ListTexts, QuotingFindsACharacterToEscapeAtAnyPositionOfALongText) {
    // The scan looks at several bytes at a time: every position of a block,
    // and of the bytes after the last whole block, must be seen.
    const std::pair<std::string, std::string> specials[] = {
        {"'", "\\'"},      {"\\", "\\\\"},    {"\n", "\\n"},
        {"\x1F", "\\x1F"}, {"\x7F", "\\x7F"}, {"\xE2\x80\xA9", "\\u2029"},
        {"\0"s, "\\x00"}};
    for (const auto& [special, escaped] : specials) {
        for (size_t at = 0; at < 40; ++at) {
            const std::string text = std::string(at, 'p') + special + std::string(40 - at, 'q');
            std::string out;
            workspace::AppendQuoted(out, text);
            EXPECT_EQ(out, "'" + std::string(at, 'p') + escaped + std::string(40 - at, 'q') + "'")
                << testing::PrintToString(special) << " at " << at;
        }
    }
    // Bytes one away from those escaped are left alone.
    const std::string near = "\x20\x7E\x80\xE1\xE3&(\x5B\x5D";
    std::string out;
    workspace::AppendQuoted(out, near + near + near);
    EXPECT_EQ(out, "'" + near + near + near + "'");
}

TEST(ListTexts, VolumesOfTheShortestEntriesAndAnUnendedLastOneFitTheirText) {
    // The text is written into room reckoned from the list's size: entries
    // of one or two bytes, with or without a final NUL, are the tightest.
    EXPECT_EQ(workspace::VolumeListText("="), "[[,]]");
    EXPECT_EQ(workspace::VolumeListText("=\0=\0="s), "[[,],[,],[,]]");
    EXPECT_EQ(workspace::VolumeListText("a=\0=b"s), "[[a,],[,b]]");
    EXPECT_EQ(workspace::VolumeListText("x\0y\0=z\0\0k=v"s), "[[,z]]");
    EXPECT_EQ(workspace::VolumeListText(""), "[]");
    EXPECT_EQ(workspace::VolumeListText("5=a=b"), "[[5,a=b]]");
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
