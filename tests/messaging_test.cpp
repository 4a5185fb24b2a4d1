// The native-messaging host's answers, with the plug-in loaded by the browser
// stand-in as the host loads it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "messaging/host_session.h"
#include "messaging/json.h"
#include "tests/support/child_process.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

class Messaging : public testing_support::ScriptTest {
  protected:
    std::string Answer(const std::string& request) {
        return messaging::AnswerRequest(
            request, [&](const std::string& method, const std::vector<standin::Value>& args) {
                return Call(method, args);
            });
    }
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

TEST_F(Messaging, UnknownNamesAndUnreadableRequestsAreAnsweredWithErrors) {
    EXPECT_EQ(Answer(R"({"id":4,"method":"FileExists","args":[]})"),
              R"({"id":4,"error":"exception during invocation"})");
    EXPECT_EQ(Answer("{\"id\":5,"),
              R"({"id":null,"error":"bad request: a member name was expected at byte 8"})");
    EXPECT_EQ(Answer(R"([1])"), R"({"id":null,"error":"bad request: not an object"})");
    EXPECT_EQ(Answer(R"({"method":"fileExists","args":[]})"),
              R"({"id":null,"error":"bad request: no \"id\" number or string"})");
    EXPECT_EQ(Answer(R"({"id":6,"args":[]})"),
              R"({"id":6,"error":"bad request: no \"method\" string"})");
    EXPECT_EQ(Answer(R"({"id":7,"method":"fileExists"})"),
              R"({"id":7,"error":"bad request: no \"args\" array"})");
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
    testing_support::WriteBytes(folder.path() / "in.bin",
                                Frame(good, good.size()) + Frame("", 0) + Frame("{oops", 5) +
                                    Frame(unknown, unknown.size()) +
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
                  R"({"id":2,"error":"exception during invocation"})",
                  R"({"id":null,"error":"bad request: the input ended inside a message"})"}));
}

TEST(MessagingJson, TextsAreEscapedAndAlwaysValidUtf8) {
    EXPECT_EQ(messaging::JsonString("a\"b\\\n\x01"), R"("a\"b\\\u000a\u0001")");
    EXPECT_EQ(messaging::JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(messaging::JsonString("ANSI \xE9 \xC3"), "\"ANSI \xEF\xBF\xBD \xEF\xBF\xBD\"");
    const std::string text = "quote \" slash \\ tab \t \xE2\x82\xAC \xF0\x9F\x8E\xA7";
    const auto parsed = messaging::ParseJson(messaging::JsonString(text));
    ASSERT_TRUE(std::holds_alternative<messaging::Json>(parsed));
    EXPECT_EQ(std::get<std::string>(std::get<messaging::Json>(parsed).value), text);
}

TEST(MessagingParts, ALargeAnswerComesInPartsThatJoinBackToIt) {
    std::string result;
    while (result.size() < 3'000'000) result += "[7,'caf\xC3\xA9 \"x\"'],";
    const std::string answer = R"({"id":9,"result":)" + messaging::JsonString(result) + "}";
    EXPECT_EQ(messaging::AnswerMessages(R"({"id":1})"), std::vector<std::string>{R"({"id":1})"});
    const auto messages = messaging::AnswerMessages(answer);
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

}  // namespace
