// The argument and result conventions, checked directly against a minimal
// browser table so that buffer sizes and boundaries are visible.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "scriptable/browser_functions.h"
#include "scriptable/values.h"

namespace {

using scriptable::FixedCapacityText;
using scriptable::SetResult;

std::map<void*, uint32_t> buffers;
bool failAllocation = false;

void* NPAPI_CALLBACK TestAlloc(uint32_t size) {
    if (failAllocation) return nullptr;
    void* p = std::malloc(size);
    buffers[p] = size;
    return p;
}
void NPAPI_CALLBACK TestFree(void* p) {
    buffers.erase(p);
    std::free(p);
}

class Values : public ::testing::Test {
  protected:
    void SetUp() override {
        NPNetscapeFuncs table{};
        table.size = sizeof table;
        table.memalloc = TestAlloc;
        table.memfree = TestFree;
        scriptable::ShareBrowserFunctions(table);
        failAllocation = false;
        result.type = NPVariantType_Void;
    }
    void TearDown() override {
        if (result.type == NPVariantType_String) {
            TestFree(const_cast<char*>(result.value.stringValue.UTF8Characters));
        }
        EXPECT_TRUE(buffers.empty());
    }

    uint32_t BufferSize() const {
        return buffers.at(const_cast<char*>(result.value.stringValue.UTF8Characters));
    }
    std::string Text() const {
        return std::string(result.value.stringValue.UTF8Characters,
                           result.value.stringValue.UTF8Length);
    }

    NPVariant result{};
};

NPVariant StringArg(const char* bytes, uint32_t length) {
    NPVariant v{};
    v.type = NPVariantType_String;
    v.value.stringValue = {bytes, length};
    return v;
}

TEST_F(Values, TextArgumentsStopAtTheDeclaredLengthAndKeepANul) {
    EXPECT_EQ(scriptable::TextArgument(StringArg("abcdef", 3)), "abc");
    EXPECT_EQ(scriptable::TextArgument(StringArg("ab\0cd", 5)), std::string("ab\0cd", 5));
    EXPECT_EQ(scriptable::TextArgument(StringArg("", 0)), "");
    EXPECT_EQ(scriptable::TextArgument(StringArg(nullptr, 0)), "");
    const char utf8[] = "D:\\\xC3\xA9t\xC3\xA9";
    EXPECT_EQ(scriptable::TextArgument(StringArg(utf8, sizeof utf8 - 1)), utf8);
    // No terminator after the declared bytes: nothing beyond them is read.
    const char unterminated[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(scriptable::TextArgument(StringArg(unterminated, 4)), "wxyz");
}

TEST_F(Values, AnyNonZeroBoolByteIsTrue) {
    for (unsigned char byte : {0, 1, 2, 0x80, 0xFF}) {
        NPVariant v{};
        v.type = NPVariantType_Bool;
        std::memcpy(&v.value, &byte, 1);
        EXPECT_EQ(scriptable::FlagArgument(v), byte != 0) << int(byte);
    }
}

TEST_F(Values, AStringResultIsItsTextAndANulInABrowserBuffer) {
    SetResult(result, std::string("250"));
    ASSERT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(Text(), "250");
    EXPECT_EQ(BufferSize(), 4u);
    EXPECT_EQ(result.value.stringValue.UTF8Characters[3], '\0');
}

TEST_F(Values, AnEmptyStringResultHasLengthZero) {
    SetResult(result, std::string());
    ASSERT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(result.value.stringValue.UTF8Length, 0u);
    EXPECT_EQ(BufferSize(), 1u);
}

TEST_F(Values, AStringResultIsCutAtAnEmbeddedNul) {
    SetResult(result, std::string("ab\0cd", 5));
    EXPECT_EQ(result.value.stringValue.UTF8Length, 2u);
    EXPECT_EQ(BufferSize(), 6u);
}

TEST_F(Values, AFixedCapacityResultKeepsItsCapacityAndCountsOnlyTheText) {
    SetResult(result, FixedCapacityText{10, "abc"});
    ASSERT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(result.value.stringValue.UTF8Length, 3u);
    EXPECT_EQ(BufferSize(), 10u);
}

TEST_F(Values, AFixedCapacityResultCutsALongerTextBeforeTheLastByte) {
    SetResult(result, FixedCapacityText{10, "0123456789ABCDEF"});
    EXPECT_EQ(Text(), "012345678");
    EXPECT_EQ(BufferSize(), 10u);
    EXPECT_EQ(result.value.stringValue.UTF8Characters[9], '\0');
}

TEST_F(Values, WithoutABufferTheResultStaysVoid) {
    failAllocation = true;
    SetResult(result, std::string("text"));
    EXPECT_EQ(result.type, NPVariantType_Void);
    SetResult(result, FixedCapacityText{300, "text"});
    EXPECT_EQ(result.type, NPVariantType_Void);
}

TEST_F(Values, BooleanDoubleAndMissingResults) {
    SetResult(result, true);
    EXPECT_EQ(result.type, NPVariantType_Bool);
    EXPECT_TRUE(result.value.boolValue);
    SetResult(result, 1.5);
    EXPECT_EQ(result.type, NPVariantType_Double);
    EXPECT_EQ(result.value.doubleValue, 1.5);

    NPVariant untouched{};
    untouched.type = NPVariantType_Void;
    SetResult(untouched, std::optional<bool>());
    EXPECT_EQ(untouched.type, NPVariantType_Void);
    SetResult(untouched, std::optional<bool>(false));
    EXPECT_EQ(untouched.type, NPVariantType_Bool);
    EXPECT_FALSE(untouched.value.boolValue);
}

}  // namespace

// A text of 4 GiB or more cannot be a string result (NPAPI's lengths are
// 32-bit): it is refused whole, never cut, and never asks for a buffer. Only
// that last step of the call details is 32-bit; on a 64-bit module a larger
// file is read and measured in size_t.
TEST_F(Values, ATextOfFourGibibytesOrMoreIsNoResult) {
    std::vector<size_t> sizes = {size_t{UINT32_MAX}};
    if (sizeof(size_t) > 4) sizes.push_back(size_t{UINT32_MAX} + 1);
    if (sizeof(size_t) > 4) sizes.push_back(static_cast<size_t>(5) << 30);
    for (const size_t size : sizes) {
        bool written = false;
        SetResult(result, workspace::SizedText{size, [&](char*) { written = true; }});
        EXPECT_EQ(result.type, NPVariantType_Void) << size;
        EXPECT_FALSE(written) << size;
        EXPECT_TRUE(buffers.empty()) << size;
    }
}
