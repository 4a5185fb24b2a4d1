// The host's pool of workers: which calls touch the same workspace, and that
// such calls never overlap in time while others do.
#include "messaging/call_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

using messaging::Overlap;
using messaging::ScopesOf;
using scriptable::ParameterDoc;
using scriptable::ParameterRole;

// The parameters of the kinds of method the host meets.
using Parameters = std::vector<ParameterDoc>;
const ParameterDoc kSource{"sourceWorkspaceName", ParameterRole::Workspace};
const ParameterDoc kDestination{"destinationWorkspaceName", ParameterRole::Workspace};
const Parameters kOneWorkspace{scriptable::kOuterName, scriptable::kWorkspaceName,
                               scriptable::kInnerName};

std::vector<embedding::Value> Texts(std::vector<std::string> texts) {
    return {texts.begin(), texts.end()};
}

TEST(CallPool, CallsOverlapWhenTheyNameTheSameWorkspaceOrItsWholeSet) {
    const auto copy =
        ScopesOf(Parameters{scriptable::kOuterName, scriptable::kInnerName, kSource, kDestination},
                 Texts({"T", "2026", "North", "Copy"}));
    const ParameterDoc folder{"folder", ParameterRole::Path}, suffix{"suffix", ParameterRole::Text};
    struct Case {
        Parameters parameters;
        std::vector<std::string> args;
        bool overlaps;
    } cases[] = {
        {kOneWorkspace, {"T", "north", "2026"}, true},  // ASCII case
        {kOneWorkspace, {"T", "COPY", "2026"}, true},
        {kOneWorkspace, {"T", "South", "2026"}, false},
        {kOneWorkspace, {"T", "North", "2027"}, false},
        {kOneWorkspace, {"U", "North", "2026"}, false},
        {{scriptable::kOuterName, scriptable::kInnerName}, {"t", "2026"}, true},  // the whole set
        {{scriptable::kOuterName, kSource, kDestination, scriptable::kInnerName},
         {"T", "X", "Copy", "2026"},
         true},
        {{folder, suffix}, {"C:\\T\\2026\\North", ".wav"}, false},  // a path names no workspace
        {{folder}, {"T"}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Overlap(copy, ScopesOf(c.parameters, Texts(c.args))), c.overlaps)
            << c.parameters[0].name << " " << c.args[0];
    }
}

// Calls on a few workspaces, at random, on four workers: two calls that
// overlap never run at the same time, and run in the order they came.
TEST(CallPool, OverlappingCallsRunOneAfterAnotherInTheirOrder) {
    std::mutex lock;
    std::vector<std::pair<int, bool>> log;  // call, started (true) or ended
    std::vector<std::shared_ptr<messaging::PoolCall>> calls;
    std::mt19937 random(7);
    {
        messaging::CallPool pool(4, [&](size_t, messaging::PoolCall& call) {
            const int id = std::stoi(call.id);
            {
                const std::lock_guard<std::mutex> hold(lock);
                log.push_back({id, true});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(id % 3));
            {
                const std::lock_guard<std::mutex> hold(lock);
                log.push_back({id, false});
            }
        });
        for (int i = 0; i < 200; ++i) {
            auto call = std::make_shared<messaging::PoolCall>();
            call->id = std::to_string(i);
            call->scopes =
                ScopesOf(kOneWorkspace, Texts({"T", "w" + std::to_string(random() % 5), "I"}));
            calls.push_back(call);
            ASSERT_TRUE(pool.Add(call, {1000, SIZE_MAX}));
        }
        pool.Drain();
    }
    ASSERT_EQ(log.size(), 400u);
    std::vector<size_t> started(200), ended(200);
    for (size_t at = 0; at < log.size(); ++at)
        (log[at].second ? started : ended)[log[at].first] = at;
    bool concurrent = false;
    for (int a = 0; a < 200; ++a) {
        for (int b = a + 1; b < 200; ++b) {
            if (Overlap(calls[a]->scopes, calls[b]->scopes)) {
                EXPECT_LT(ended[a], started[b]) << a << " and " << b;
            } else {
                concurrent = concurrent || started[b] < ended[a];
            }
        }
    }
    EXPECT_TRUE(concurrent) << "calls on different workspaces never ran side by side";
}

// A pool of one worker whose calls run only while the gate is open: a test
// holds the worker busy for as long as it needs.
struct GatedPool {
    std::mutex gate;
    std::unique_lock<std::mutex> closed{gate};
    std::atomic<int> started{0};
    messaging::CallPool pool{1, [this](size_t, messaging::PoolCall&) {
                                 ++started;
                                 const std::lock_guard<std::mutex> pass(gate);
                             }};
    void WaitForStarts(int count) {
        while (started < count) std::this_thread::yield();
    }
};

// What waits is bounded by calls and by bytes of arguments, running calls
// aside; one call of any size is taken when nothing waits.
TEST(CallPool, WhatWaitsIsBoundedAndOneCallOfAnySizeIsTaken) {
    GatedPool gated;
    auto& pool = gated.pool;
    auto& closed = gated.closed;
    const auto call = [](size_t bytes) {
        auto made = std::make_shared<messaging::PoolCall>();
        made->args = Texts({std::string(bytes, 'x'), "w"});
        return made;
    };
    // A call of 500 bytes runs and holds the one worker.
    const auto running = [&](int number) {
        ASSERT_TRUE(pool.Add(call(500), {3, 100}));
        gated.WaitForStarts(number);
    };
    const messaging::WaitingBound bound{3, 100};
    running(1);
    EXPECT_TRUE(pool.Add(call(150), bound)) << "one call of any size when none waits";
    EXPECT_FALSE(pool.Add(call(1), bound)) << "over the bytes";
    closed.unlock();
    pool.Drain();
    closed.lock();
    running(3);
    EXPECT_TRUE(pool.Add(call(40), bound));
    EXPECT_TRUE(pool.Add(call(40), bound));
    EXPECT_FALSE(pool.Add(call(20), bound)) << "over the bytes only with its own";
    EXPECT_TRUE(pool.Add(call(1), bound));
    EXPECT_FALSE(pool.Add(call(1), bound)) << "over the count";
    closed.unlock();
    pool.Drain();
}

// A short call waits for every earlier call on its workspace, those still
// queued behind a busy worker as well as those running.
TEST(CallPool, AShortCallWaitsForQueuedCallsOnItsWorkspaceToo) {
    GatedPool gated;
    auto& pool = gated.pool;
    const auto on = [](const char* workspace) {
        return ScopesOf(kOneWorkspace, Texts({"T", workspace, "I"}));
    };
    const auto call = [&](const char* workspace) {
        auto made = std::make_shared<messaging::PoolCall>();
        made->scopes = on(workspace);
        return made;
    };
    ASSERT_TRUE(pool.Add(call("running")));
    gated.WaitForStarts(1);
    ASSERT_TRUE(pool.Add(call("queued")));
    EXPECT_TRUE(pool.MustWait(on("running")));
    EXPECT_TRUE(pool.MustWait(on("queued"))) << "a queued call on the workspace was passed";
    EXPECT_FALSE(pool.MustWait(on("other")));
    gated.closed.unlock();
    pool.Drain();
}

}  // namespace
