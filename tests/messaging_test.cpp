// The native-messaging host's answers, with the plug-in loaded by the browser
// embedding as the host loads it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "messaging/host_session.h"
#include "messaging/json.h"
#include "scriptable/method_table.h"
#include "tests/support/child_process.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

std::optional<size_t> Arity(std::string_view name) {
    const scriptable::MethodRow* row = scriptable::FindMethod(name);
    if (!row) return std::nullopt;
    return row->argumentCount;
}

// The host orders calls by their parameters' roles: every parameter named for
// a level of the workspace path carries that level's role, in every row a
// method is ever added by.
TEST(MethodTable, EveryParameterNamedForAWorkspaceLevelHasThatRole) {
    using scriptable::ParameterRole;
    for (const scriptable::MethodRow& row : scriptable::Methods()) {
        for (const scriptable::ParameterDoc& parameter : row.Parameters()) {
            std::string name = parameter.name;
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::string where = std::string(row.name) + "(" + parameter.name + ")";
            EXPECT_EQ(parameter.role == ParameterRole::Workspace,
                      name.find("workspace") != std::string::npos)
                << where;
            EXPECT_EQ(parameter.role == ParameterRole::Outer, name == "outername") << where;
            EXPECT_EQ(parameter.role == ParameterRole::Inner, name == "innername") << where;
        }
    }
}

class Messaging : public testing_support::ScriptTest {
  protected:
    std::string Answer(const std::string& request) {
        return messaging::AnswerRequest(
                   request, Arity,
                   [&](const std::string& method, const std::vector<embedding::Value>& args) {
                       ++calls;
                       return Call(method, args);
                   })
            .text;
    }
    int calls = 0;
};

TEST_F(Messaging, JsonValuesArriveAsABrowserPassesThem) {
    EXPECT_EQ(Answer(R"({"id":1,"method":"fileExists","args":["C:\\no\\such.file"]})"),
              R"({"id":1,"result":false})");
    // Integral numbers are Int32, others Double, null Null, arrays objects:
    // all wrong types here, so the result is undefined and has no member.
    for (const char* arg : {"5", "2.5", "null", "[]", "{}", "true"}) {
        EXPECT_EQ(Answer(std::string(R"({"id":2,"method":"fileExists","args":[)") + arg + "]}"),
                  R"({"id":2})")
            << arg;
    }
    EXPECT_EQ(Answer(R"({"id":"a","method":"startPlayback","args":[1]})"), R"({"id":"a"})");
    EXPECT_EQ(Answer(R"({"id":3,"method":"getWorkspaceUsage","args":["..","x"]})"),
              R"({"id":3,"result":0})");
}

TEST_F(Messaging, OnlyAnExactMethodNameReachesThePlugIn) {
    for (const char* name : {R"(fileExists\u0000junk)", "fileExists ", "fileexists", ""}) {
        EXPECT_EQ(Answer(std::string(R"({"id":8,"method":")") + name + R"(","args":["x"]})"),
                  R"({"id":8,"error":"exception during invocation","name":"InvocationError"})")
            << name;
    }
    // Another number of arguments than the method takes: undefined, as the
    // plug-in answers, without a call.
    EXPECT_EQ(Answer(R"({"id":9,"method":"fileExists","args":["a","b"]})"), R"({"id":9})");
    EXPECT_EQ(Answer(R"({"id":9,"method":"fileExists","args":[]})"), R"({"id":9})");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Answer(R"({"id":9,"method":"fileExists","args":[[1,[2,{"a":[]}]]]})"), R"({"id":9})");
    EXPECT_EQ(calls, 1);
}

TEST_F(Messaging, IdsAreIntegersWithinTwoToTheFiftyThirdOrShortStrings) {
    const std::string rest = R"(,"method":"fileExists","args":["C:\\nothing"]})";
    for (const char* id :
         {"0", "-7", "9007199254740992", "-9007199254740992", "1e3", R"("")", R"("a,b}c")"}) {
        const std::string answer = Answer(std::string(R"({"id":)") + id + rest);
        EXPECT_NE(answer.find(R"("result":false)"), std::string::npos) << id << ": " << answer;
        EXPECT_EQ(answer.rfind(R"({"id":)", 0), 0u) << answer;
    }
    EXPECT_EQ(Answer(R"({"id":1e3)" + rest), R"({"id":1000,"result":false})");
    EXPECT_EQ(Answer(R"({"id":"é")" + rest), R"({"id":"é","result":false})");
    const std::string longest = "\"" + std::string(256, 'i') + "\"";
    EXPECT_EQ(Answer(R"({"id":)" + longest + rest), R"({"id":)" + longest + R"(,"result":false})");
    const char* refused =
        R"({"id":null,"error":"bad request: an \"id\" is an integer within 2^53 or a string of at most 256 characters"})";
    for (const std::string& id :
         {std::string("1e999"), std::string("9007199254740994"), std::string("9007199254740993"),
          std::string("-9007199254740993"), std::string("90071992547409930"),
          std::string("9.007199254740993e15"), std::string("1.5"), std::string("true"),
          std::string("[1]"), std::string("{}"), "\"" + std::string(257, 'i') + "\""}) {
        EXPECT_EQ(Answer(R"({"id":)" + id + rest), refused) << id;
    }
}

TEST_F(Messaging, UnknownNamesAndUnreadableRequestsAreAnsweredWithErrors) {
    EXPECT_EQ(Answer(R"({"id":4,"method":"FileExists","args":[]})"),
              R"({"id":4,"error":"exception during invocation","name":"InvocationError"})");
    EXPECT_EQ(Answer("{\"id\":5,"),
              R"({"id":null,"error":"bad request: a member name was expected at byte 8"})");
    EXPECT_EQ(Answer(R"([1])"), R"({"id":null,"error":"bad request: not an object"})");
    EXPECT_EQ(Answer(R"({"method":"fileExists","args":[]})"),
              R"({"id":null,"error":"bad request: no \"id\" number or string"})");
    EXPECT_EQ(Answer(R"({"id":6,"args":[]})"),
              R"({"id":6,"error":"bad request: no \"method\" string"})");
    EXPECT_EQ(Answer(R"({"id":7,"method":"fileExists"})"),
              R"({"id":7,"error":"bad request: no \"args\" array"})");
    // Hostile texts: each is unreadable as a whole, wherever the fault sits.
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    for (const std::string& text : {
             std::string(R"({"id":1,"method":"fileExists","args":["\uD800\uZZZZ"]})"),
             std::string(R"({"id":1,"method":"fileExists","args":["\u12"]})"),
             std::string("{\"id\":1,\"method\":\"fileExists\",\"args\":[\"\xC0\xAF\"]}"),
             std::string("{\"id\":1,\"method\":\"fileExists\",\"args\":[\"\xED\xA0\x80\"]}"),
             // Overlong in three bytes, past U+10FFFF, a raw control
             // character.
             std::string("{\"id\":1,\"method\":\"fileExists\",\"args\":[\"\xE0\x80\xAF\"]}"),
             std::string("{\"id\":1,\"method\":\"fileExists\",\"args\":[\"\xF4\x90\x80\x80\"]}"),
             std::string("{\"id\":1,\"method\":\"fileExists\",\"args\":[\"a\x01\"]}"),
             R"({"id":1,"skipped":)" + deep + R"(,"method":"fileExists","args":["a"]})",
         }) {
        EXPECT_EQ(Answer(text).rfind(R"({"id":null,"error":"bad request: )", 0), 0u) << text;
    }
    EXPECT_EQ(Answer(R"({"id":8,"method":"fileExists\u0000","args":["a"]})"),
              R"({"id":8,"error":"exception during invocation","name":"InvocationError"})");
    // Ids are counted in characters, not bytes.
    std::string wide;
    for (int i = 0; i < 256; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(Answer(R"({"id":")" + wide + R"(","method":"fileExists","args":["C:\\nothing"]})"),
              R"({"id":")" + wide + R"(","result":false})");
    EXPECT_EQ(Answer(R"({"id":")" + wide + R"(é","method":"fileExists","args":[]})")
                  .rfind(R"({"id":null,"error":"bad request: an \"id\")", 0),
              0u);
}

// The framed messages of a byte stream: a 4-byte little-endian length, then
// the text.
std::vector<std::string> Frames(const std::string& bytes) {
    std::vector<std::string> frames;
    for (size_t at = 0; at + 4 <= bytes.size();) {
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i)
            length = length << 8 | static_cast<unsigned char>(bytes[at + i]);
        frames.push_back(bytes.substr(at + 4, length));
        at += 4 + length;
    }
    return frames;
}

std::string Frame(const std::string& text, uint32_t length) {
    std::string frame(4, '\0');
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(length >> (8 * i));
    return frame + text;
}

TEST(HostProgram, AnswersInOrderAndCarriesOnAfterWhatItCannotRead) {
    testing_support::TempFolder folder;
    const std::string good = R"({"id":1,"method":"fileExists","args":["C:\nothing"]})";
    const std::string unknown = R"({"id":2,"method":"nothing","args":[]})";
    const std::string cut = R"({"id":3,"method":"fileExists\u0000x","args":["C:\nothing"]})";
    testing_support::WriteBytes(folder.path() / "in.bin",
                                Frame(good, good.size()) + Frame("", 0) + Frame("{oops", 5) +
                                    Frame(unknown, unknown.size()) + Frame(cut, cut.size()) +
                                    Frame("cut short", 100));  // the input ends inside it
    testing_support::ChildProcess host(
        testing_support::ProgramBeside("npDravenilFileAccessHost.exe"), folder.Text("in.bin"),
        folder.Text("out.bin"));
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForExit(20000));
    EXPECT_EQ(host.ExitCode(), 0u);
    EXPECT_EQ(Frames(testing_support::ReadBytes(folder.path() / "out.bin")),
              (std::vector<std::string>{
                  R"({"id":1,"result":false})",
                  R"({"id":null,"error":"bad request: a length of 0 bytes"})",
                  R"({"id":null,"error":"bad request: a member name was expected at byte 1"})",
                  R"({"id":2,"error":"exception during invocation","name":"InvocationError"})",
                  R"({"id":3,"error":"exception during invocation","name":"InvocationError"})",
                  R"({"id":null,"error":"bad request: the input ended inside a message"})"}));
}

TEST(MessagingJson, TextsAreEscapedAndAlwaysValidUtf8) {
    EXPECT_EQ(messaging::JsonString("a\"b\\\n\x01"), R"("a\"b\\\u000a\u0001")");
    EXPECT_EQ(messaging::JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(messaging::JsonString("ANSI \xE9 \xC3"), "\"ANSI \xEF\xBF\xBD \xEF\xBF\xBD\"");
    // A high surrogate before U+E000 is a lone one: U+E000 is no low one.
    const auto lone = messaging::ParseJson(R"("\uD800\uE000")");
    ASSERT_TRUE(std::holds_alternative<messaging::Json>(lone));
    EXPECT_EQ(std::get<std::string>(std::get<messaging::Json>(lone).value),
              "\xEF\xBF\xBD\xEE\x80\x80");
    const std::string text = "quote \" slash \\ tab \t \xE2\x82\xAC \xF0\x9F\x8E\xA7";
    const auto parsed = messaging::ParseJson(messaging::JsonString(text));
    ASSERT_TRUE(std::holds_alternative<messaging::Json>(parsed));
    EXPECT_EQ(std::get<std::string>(std::get<messaging::Json>(parsed).value), text);
}

TEST(MessagingParts, ALargeAnswerComesInPartsThatJoinBackToIt) {
    std::string result;
    while (result.size() < 3'000'000) result += "[7,'caf\xC3\xA9 \"x\"'],";
    const std::string answer = R"({"id":9,"result":)" + messaging::JsonString(result) + "}";
    EXPECT_EQ(messaging::AnswerMessages({"1", R"({"id":1})"}),
              std::vector<std::string>{R"({"id":1})"});
    const auto messages = messaging::AnswerMessages({"9", answer});
    ASSERT_GT(messages.size(), 3u);
    std::string joined;
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_LE(messages[i].size(), messaging::kMaxAnswerBytes);
        const auto parsed = messaging::ParseJson(messages[i]);
        ASSERT_TRUE(std::holds_alternative<messaging::Json>(parsed)) << "part " << i + 1;
        const messaging::Json& part = std::get<messaging::Json>(parsed);
        EXPECT_EQ(std::get<double>(part.Member("id")->value), 9);
        EXPECT_EQ(std::get<double>(part.Member("part")->value), i + 1);
        EXPECT_EQ(std::get<double>(part.Member("parts")->value), messages.size());
        joined += std::get<std::string>(part.Member("data")->value);
    }
    EXPECT_EQ(joined, answer);
}

TEST(MessagingParts, EveryPartIsValidJsonWithinTheLimitWhateverTheId) {
    const std::string id = messaging::JsonString("a,b}\"c\\" + std::string(250, '}'));
    std::string result(700'000, '"');
    result += std::string(700'000, '\\');
    const std::string answer =
        "{\"id\":" + id + ",\"result\":" + messaging::JsonString(result) + "}";
    std::string joined;
    for (const std::string& message : messaging::AnswerMessages({id, answer})) {
        ASSERT_LE(message.size(), messaging::kMaxAnswerBytes);
        const auto parsed = messaging::ParseJson(message);
        ASSERT_TRUE(std::holds_alternative<messaging::Json>(parsed)) << message.substr(0, 80);
        const messaging::Json& part = std::get<messaging::Json>(parsed);
        EXPECT_EQ(messaging::JsonString(std::get<std::string>(part.Member("id")->value)), id);
        joined += std::get<std::string>(part.Member("data")->value);
    }
    EXPECT_EQ(joined, answer);
}

}  // namespace
