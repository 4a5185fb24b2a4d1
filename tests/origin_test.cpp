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
          "https://.calls", "https://[::1", "https://calls.example:8443x", "1http://a"}) {
        EXPECT_FALSE(shell::ParseOrigin(refused)) << refused;
    }
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
