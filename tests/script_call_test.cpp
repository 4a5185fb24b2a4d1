// The console's reading of page-script calls.
#include <gtest/gtest.h>

#include "browser/script_call.h"
#include "messaging/json.h"

namespace {

using embedding::Value;
using standin::ParseError;
using standin::ParseScriptCall;
using standin::ScriptCall;

ScriptCall Parsed(const std::string& line, bool doubles = false) {
    auto parsed = ParseScriptCall(line, doubles);
    if (auto* error = std::get_if<ParseError>(&parsed)) {
        ADD_FAILURE() << line << ": column " << error->column << ": " << error->message;
        return {};
    }
    return std::get<ScriptCall>(parsed);
}

ParseError Refused(const std::string& line) {
    auto parsed = ParseScriptCall(line);
    if (!std::holds_alternative<ParseError>(parsed)) {
        ADD_FAILURE() << line << " was accepted";
        return {};
    }
    return std::get<ParseError>(parsed);
}

TEST(ScriptCalls, ReadLiteralsOfEveryKind) {
    const ScriptCall call =
        Parsed(R"(  m ( "a" , 'b', true,false, null, undefined, 42, -7, 2.5, 1e3 ) ; )");
    EXPECT_EQ(call.method, "m");
    const std::vector<Value> expected = {
        std::string("a"),       std::string("b"), true,        false, embedding::Null{},
        embedding::Undefined{}, int32_t{42},      int32_t{-7}, 2.5,   int32_t{1000}};
    EXPECT_EQ(call.args, expected);
    EXPECT_TRUE(Parsed("noArgs()").args.empty());
}

TEST(ScriptCalls, NumbersAreIntegralByValueNotByHowTheyAreWritten) {
    // Found by fuzzing: 0e3 went over as a Double and so read back differently.
    EXPECT_EQ(Parsed("m(0e3, 1.0, 2.50e1, -0, -0.0, 0.5)").args,
              (std::vector<Value>{int32_t{0}, int32_t{1}, int32_t{25}, -0.0, -0.0, 0.5}));
}

TEST(ScriptCalls, CanPassEveryNumberAsADouble) {
    EXPECT_EQ(Parsed("m(5)", true).args, std::vector<Value>{5.0});
    EXPECT_EQ(Parsed("m(3000000000)").args, std::vector<Value>{3e9});
}

TEST(ScriptCalls, DecodeStringEscapesToUtf8) {
    const ScriptCall call = Parsed(
        R"(m("C:\\a\\b", 'it\'s', "q\"", "\n\r\t\0", "\u00e9\x41", "\u{1F600}", "\ud83d\ude00"))");
    ASSERT_EQ(call.args.size(), 7u);
    EXPECT_EQ(std::get<std::string>(call.args[0]), "C:\\a\\b");
    EXPECT_EQ(std::get<std::string>(call.args[1]), "it's");
    EXPECT_EQ(std::get<std::string>(call.args[2]), "q\"");
    EXPECT_EQ(std::get<std::string>(call.args[3]), std::string("\n\r\t\0", 4));
    EXPECT_EQ(std::get<std::string>(call.args[4]),
              "\xC3\xA9"
              "A");
    EXPECT_EQ(std::get<std::string>(call.args[5]), "\xF0\x9F\x98\x80");
    EXPECT_EQ(std::get<std::string>(call.args[6]), "\xF0\x9F\x98\x80");
}

// The console and the host read "\u" escapes alike: pairs joined, a lone
// surrogate as U+FFFD (as a browser passes it), and what follows read anew.
TEST(ScriptCalls, ReadUnicodeEscapesAsTheHostDoes) {
    const struct {
        const char* escapes;
        std::string text;
    } cases[] = {
        {R"(\ud83d\ude00)", "\xF0\x9F\x98\x80"},
        {R"(\ud800)", "\xEF\xBF\xBD"},
        {R"(\udc00x)", "\xEF\xBF\xBDx"},
        {R"(\ud800\ue000)", "\xEF\xBF\xBD\xEE\x80\x80"},
        {R"(\ud800\ud83d\ude00)", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        // A lone low one followed by another escape: each read on its own,
        // never joined as if the first were a high one.
        {R"(\udc00\ude00)", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {R"(\udc00\ud83d\ude00)", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        const std::string quoted = std::string("\"") + c.escapes + "\"";
        const ScriptCall call = Parsed("m(" + quoted + ")");
        ASSERT_EQ(call.args.size(), 1u) << c.escapes;
        EXPECT_EQ(std::get<std::string>(call.args[0]), c.text) << c.escapes;
        const auto json = messaging::ParseJson(quoted);
        ASSERT_TRUE(std::holds_alternative<messaging::Json>(json)) << c.escapes;
        EXPECT_EQ(std::get<std::string>(std::get<messaging::Json>(json).value), c.text)
            << c.escapes;
    }
    EXPECT_EQ(Refused(R"(m("\ud800\u12"))").message, "four hex digits were expected");
}

TEST(ScriptCalls, SayWhatIsWrongAndWhere) {
    EXPECT_EQ(Refused("m(\"abc").message, "unterminated string");
    EXPECT_EQ(Refused("m(abc)").message, "'abc' is not a literal (strings need quotes)");
    EXPECT_EQ(Refused("m(abc)").column, 3u);
    EXPECT_EQ(Refused("m(1,)").message, "expected an argument");
    EXPECT_EQ(Refused("m(1 2)").message, "expected ')'");
    EXPECT_EQ(Refused("(1)").message, "expected a method name");
    EXPECT_EQ(Refused("m(1) x").message, "unexpected text after the call");
    EXPECT_EQ(Refused("m(\"\\x4\")").message, "bad hexadecimal escape");
    EXPECT_EQ(Refused("m").column, 2u);
}

TEST(ScriptCalls, BlankLinesAndCommentsAreNotCalls) {
    EXPECT_TRUE(standin::IsBlankOrComment(""));
    EXPECT_TRUE(standin::IsBlankOrComment("  \t\r"));
    EXPECT_TRUE(standin::IsBlankOrComment("  // note"));
    EXPECT_FALSE(standin::IsBlankOrComment("m()"));
}

TEST(ScriptValues, AreShownAsPageScriptWouldSeeThem) {
    using embedding::Show;
    EXPECT_EQ(Show(Value(std::string("a\"b\\c\n"))), R"("a\"b\\c\n")");
    EXPECT_EQ(Show(Value(true)), "true");
    EXPECT_EQ(Show(Value(embedding::Undefined{})), "undefined");
    EXPECT_EQ(Show(Value(0.1)), "0.1");
    EXPECT_EQ(Show(Value(1024.0)), "1024");
    EXPECT_EQ(Show(embedding::CallOutcome{embedding::Undefined{}, "boom"}), "exception: boom");
}

}  // namespace
