// A test with an embedding that has loaded and initialised the
// plug-in. After every test the browser's accounts must balance: no buffer
// left allocated, no bad free, no malformed result, no unexpected call.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "embedding/embedder.h"

namespace testing_support {

class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override { browser.emplace(); }

    void TearDown() override {
        ExpectBrowserAccountsBalance();
        browser.reset();
    }

    void ExpectBrowserAccountsBalance() {
        EXPECT_TRUE(browser->faults.empty()) << ::testing::PrintToString(browser->faults);
        EXPECT_TRUE(browser->unexpectedCalls.empty())
            << ::testing::PrintToString(browser->unexpectedCalls);
        EXPECT_EQ(browser->LiveBuffers(), 0u);
    }

    std::optional<embedding::Browser> browser;
};

// A page with one embed whose scriptable object the test calls.
class ScriptTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        embed.emplace(*browser);
        ASSERT_NE(embed->ScriptableObject(), nullptr);
    }
    void TearDown() override {
        embed.reset();
        PluginTest::TearDown();
    }

    embedding::CallOutcome Call(const std::string& method,
                                const std::vector<embedding::Value>& args = {}) {
        return embed->Call(method, args);
    }

    std::optional<embedding::Embed> embed;
};

// What page script received, read as one kind of value: nothing when it
// threw or received another kind.
inline bool IsUndefined(const embedding::CallOutcome& o) {
    return !o.exception && std::holds_alternative<embedding::Undefined>(o.value);
}

inline std::optional<bool> FlagOf(const embedding::CallOutcome& o) {
    if (o.exception || !std::holds_alternative<bool>(o.value)) return std::nullopt;
    return std::get<bool>(o.value);
}

inline std::optional<std::string> TextOf(const embedding::CallOutcome& o) {
    if (o.exception || !std::holds_alternative<std::string>(o.value)) return std::nullopt;
    return std::get<std::string>(o.value);
}

}  // namespace testing_support
