// The call details decoder on hand-written bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "workspace/call_details.h"

namespace {

using workspace::CallDetailsText;

std::string Int32(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
            static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
}

std::string Detail(int32_t key, const std::string& first, const std::string& secondLength,
                   const std::string& second) {
    return Int32(key) + static_cast<char>(first.size()) + first + secondLength + second;
}

// The worked example: two records, the second with no details.
const std::string kExample =
    Int32(2) + Int32(7) + Int32(1) + Detail(3, "ab", "\x03", "xyz") + Int32(-1) + Int32(0);

TEST(CallDetails, TheWorkedExample) {
    EXPECT_EQ(kExample.size(), 31u);
    EXPECT_EQ(CallDetailsText(kExample), "[[7,1,[3,'ab','xyz']],[-1,0]]");
}

TEST(CallDetails, EmptyAndZeroCountFilesHaveNoRecords) {
    EXPECT_EQ(CallDetailsText(""), "[]");
    EXPECT_EQ(CallDetailsText(Int32(0)), "[]");
    EXPECT_EQ(CallDetailsText(Int32(-3) + Int32(1) + Int32(0)), "[]");
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(12) + Int32(0)), "[[12,0]]");
}

TEST(CallDetails, NegativeKeysAndCountsAreWrittenAsStored) {
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(-5) + Int32(-2)), "[[-5,-2]]");
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(INT32_MIN) + Int32(1) +
                              Detail(INT32_MAX, "", std::string(1, '\0'), "")),
              "[[-2147483648,1,[2147483647,'','']]]");
}

TEST(CallDetails, SecondTextLengthsTakeOneOrTwoBytes) {
    const std::string text133(133, 's');
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(1) + Int32(1) + Detail(2, "f", "\x85\x01", text133)),
              "[[1,1,[2,'f','" + text133 + "']]]");
    const std::string longest(32767, 'L');  // 0xFF 0xFF: 127 + 128 * 255
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(1) + Int32(1) + Detail(2, "", "\xFF\xFF", longest)),
              "[[1,1,[2,'','" + longest + "']]]");
    const std::string first255(255, 'F');
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(1) + Int32(1) +
                              Detail(2, first255, std::string(1, '\0'), "")),
              "[[1,1,[2,'" + first255 + "','']]]");
}

TEST(CallDetails, ATextEndsAtItsFirstNulButItsWholeLengthIsPassed) {
    const std::string bytes = Int32(1) + Int32(4) + Int32(2) +
                              Detail(1, std::string("ab\0cd", 5), "\x04", std::string("\0xyz", 4)) +
                              Detail(2, "it's, ok", "\x01", "z");
    EXPECT_EQ(CallDetailsText(bytes), "[[4,2,[1,'ab',''],[2,'it\\'s, ok','z']]]");
}

TEST(CallDetails, HugeCountsInATinyFileCostNothing) {
    EXPECT_EQ(CallDetailsText(Int32(INT32_MAX) + Int32(1)), "[]");
    EXPECT_EQ(CallDetailsText(Int32(1) + Int32(1) + Int32(INT32_MAX) + Detail(1, "a", "\x01", "b")),
              "[]");
}

TEST(CallDetails, ATruncatedFileGivesItsCompleteRecordsInOrder) {
    const std::string third = Int32(9) + Int32(2) +
                              Detail(5, "p", "\x81\x01", std::string(129, 'q')) +
                              Detail(6, "r", std::string(1, '\0'), "");
    const std::string full = Int32(3) + kExample.substr(4) + third;
    const std::string whole = CallDetailsText(full);
    ASSERT_EQ(whole, "[[7,1,[3,'ab','xyz']],[-1,0],[9,2,[5,'p','" + std::string(129, 'q') +
                         "'],[6,'r','']]]");
    const std::string afterOne = "[[7,1,[3,'ab','xyz']]]";
    const std::string afterTwo = "[[7,1,[3,'ab','xyz']],[-1,0]]";
    const size_t endOfFirst = 4 + 8 + 4 + 3 + 4, endOfSecond = endOfFirst + 8;
    for (size_t cut = 0; cut < full.size(); ++cut) {
        const std::string text = CallDetailsText(std::string_view(full).substr(0, cut));
        const std::string& expected = cut < endOfFirst    ? "[]"
                                      : cut < endOfSecond ? afterOne
                                                          : afterTwo;
        EXPECT_EQ(text, expected) << "cut at " << cut;
    }
}

}  // namespace
