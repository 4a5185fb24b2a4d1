// Origins on their own: what the policy's comparison takes for an origin.
#include <gtest/gtest.h>

#include <utility>

#include "shell/origin_policy.h"

namespace {

TEST(Origins, ParseToTheFormABrowserReportsAndBackAgain) {
    const std::pair<const char*, const char*> same[] = {
        {"https://calls.example", "https://calls.example"},
        {"HTTPS://Calls.Example:443", "https://calls.example"},
        {"http://127.0.0.1:80", "http://127.0.0.1"},
        {"http://[::1]:8080", "http://[::1]:8080"},
        {"https://calls.example:08443", "https://calls.example:8443"},
        {"moz-extension://abc", "moz-extension://abc"},
    };
    for (const auto& [text, written] : same) {
        const auto origin = shell::ParseOrigin(text);
        ASSERT_TRUE(origin) << text;
        EXPECT_EQ(shell::OriginText(*origin), written);
        EXPECT_EQ(shell::ParseOrigin(shell::OriginText(*origin)), origin);
    }
    for (const char* refused :
         {"null", "", "https://", "https://calls.example/", "https://u@calls.example",
          "https://*.example", "https://calls.example:0", "https://calls.example:65536",
          "https://calls.example:", "calls.example", "://calls.example", "https://calls..",
          "https://.calls", "https://[::1", "https://calls.example:8443x", "1http://a",
          // Six digits that a 16-bit port would wrap to 443 and 8443, and
          // ten that a 32-bit count wraps to 443 (2^32 + 443).
          "https://calls.example:065979", "https://calls.example:139515",
          "https://calls.example:4294967739"}) {
        EXPECT_FALSE(shell::ParseOrigin(refused)) << refused;
    }
}

// Each entry an administrator may write, and why one is refused: the
// installer shows these reasons and refuses the package.
TEST(Origins, PolicyEntriesAreOriginsOrAStarAloneOrRefusedWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://calls.example", ""},
        {" https://calls.example:8443 ", ""},
        {"\thttps://calls.example\t", ""},
        {"http://localhost:3000", ""},
        {"http://[::1]", ""},
        {"https://calls.example/", "holds a path, query or fragment"},
        {"https://*.calls.example", "holds a wildcard"},
        {"https://u@calls.example", "holds user info"},
        {"calls.example", "is not scheme://host[:port]"},
        {"https://", "has no host"},
        {"https://calls.example:0", "has the port '0'"},
        {"https://calls.example:70000", "has the port '70000'"},
        {"https://-calls.example", "has the host '-calls.example', which is not a host name"},
        {"https://calls_example:8443", "has the host 'calls_example', which is not a host name"},
        {"https://calls.example:84a3", "has the port '84a3', which is not a number"},
        {"https://[::1:8443", "has the host '[::1:8443', which is not"},
        {"htt ps://calls.example", "has the scheme 'htt ps', which is not one"},
        {"ftp://calls.example", "has the scheme ftp"},
        {"http://calls.example", "uses http to another machine"},
        {"null", "is not scheme://host[:port]"},
    };
    for (const auto& [text, refusal] : cases) {
        const auto entries = shell::ReadPolicyEntries(text);
        ASSERT_EQ(entries.size(), 1u) << text;
        EXPECT_EQ(entries[0].refusal.substr(0, std::string(refusal).size()), refusal) << text;
        EXPECT_EQ(entries[0].origin.has_value(), !*refusal) << text;
    }
    EXPECT_TRUE(shell::ReadPolicyEntries(" * ")[0].everyPage);
    const auto mixed = shell::ReadPolicyEntries("*;https://a.example;");
    ASSERT_EQ(mixed.size(), 2u) << "the empty entry after the last \";\" is passed over";
    EXPECT_FALSE(mixed[0].everyPage);
    EXPECT_NE(mixed[0].refusal.find("stands alone"), std::string::npos);
    EXPECT_EQ(shell::PolicyFromValue(std::string("*")).kind, shell::OriginPolicy::Kind::EveryPage);
    EXPECT_TRUE(shell::Allows(shell::PolicyFromValue(std::string("*")), std::string("null")));
    EXPECT_EQ(shell::PolicyFromValue(std::string("*;https://a.example")).kind,
              shell::OriginPolicy::Kind::Origins);
}

TEST(Origins, APolicyAllowsExactlyItsOriginsAndNothingWhenItNamesNone) {
    const auto policy =
        shell::PolicyFromValue(std::string("https://a.example;;bad; http://localhost:3000 "));
    EXPECT_EQ(policy.kind, shell::OriginPolicy::Kind::Origins);
    EXPECT_EQ(policy.origins.size(), 2u);
    EXPECT_TRUE(shell::Allows(policy, std::string("https://a.example:443")));
    EXPECT_TRUE(shell::Allows(policy, std::string("http://localhost:3000")));
    EXPECT_FALSE(shell::Allows(policy, std::string("http://localhost")));
    EXPECT_FALSE(shell::Allows(policy, std::nullopt));
    EXPECT_EQ(shell::PolicyFromValue(std::string("")).kind, shell::OriginPolicy::Kind::Unusable);
    EXPECT_EQ(shell::PolicyFromValue(std::nullopt).kind, shell::OriginPolicy::Kind::None);
    EXPECT_TRUE(shell::Allows(shell::PolicyFromValue(std::nullopt), std::string("null")));
    EXPECT_FALSE(
        shell::Allows(shell::PolicyFromValue(std::string("")), std::string("https://a.example")));
}

}  // namespace
