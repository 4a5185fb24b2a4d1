// A test with a browser stand-in that has loaded and initialised the
// plug-in. After every test the browser's accounts must balance: no buffer
// left allocated, no bad free, no malformed result, no unexpected call.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "browser/standin.h"

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

    std::optional<standin::Browser> browser;
};

// Matchers for what page script receives.
inline bool IsUndefined(const standin::CallOutcome& o) {
    return !o.exception && std::holds_alternative<standin::Undefined>(o.value);
}

}  // namespace testing_support
