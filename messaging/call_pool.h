// The host's long calls, run on worker threads so that no call waits behind
// another it has nothing to do with. Calls that touch the same workspace
// still run in the order they came: a call waits for every earlier call,
// waiting or running, whose workspaces overlap its own.
//
// What the threads share: the pool's own list (under its lock), the
// embedding's accounts (under the embedding's lock), the output
// (under the host's lock), and in the plug-in only the kept application-data
// folder (under its lock) and the trace hook (which writes nothing). Each
// worker calls the plug-in through an object of its own, so no per-object
// state (the replay methods' last exchange folder) is ever shared: the
// replay methods are short and always run on the connection's first object.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "embedding/value.h"
#include "scriptable/method_table.h"

namespace messaging {

// A workspace a call touches: one workspace of a set, or the whole set,
// each known by a key that every name of its folder shares.
struct Scope {
    std::string set, workspace;
    bool wholeSet = false;
};

// The key of the folder that a workspace set (outer and inner name) or a
// workspace (outer, inner and workspace name) is, so that calls naming one
// folder by two spellings are ordered as one. The host folds case as the
// file system compares names and resolves the short (8.3) names of folders
// that are there (see platform::ComparableText): a short name of a folder
// not yet made cannot be resolved, so a call by it may run beside one by
// the long name. AsciiFoldedKey folds ASCII case only and serves where no
// file system is at hand.
using FolderKey = std::function<std::string(const std::vector<std::string_view>& names)>;
std::string AsciiFoldedKey(const std::vector<std::string_view>& names);

// The scopes of a call from its method's parameters: a workspace for each
// parameter of the workspace role, or the whole set when there is none;
// nothing when the method names no workspace set (no outer and inner name).
std::vector<Scope> ScopesOf(std::span<const scriptable::ParameterDoc> parameters,
                            const std::vector<embedding::Value>& args,
                            const FolderKey& key = AsciiFoldedKey);
bool Overlap(const std::vector<Scope>& a, const std::vector<Scope>& b);

struct PoolCall {
    std::string id;  // as JSON text
    std::string method;
    std::vector<embedding::Value> args;
    std::vector<Scope> scopes;
    std::optional<std::string> origin;  // the page's, for the log
    std::atomic<bool> cancelled{false};
};

// The bytes of text a call's arguments hold.
size_t ArgumentBytes(const std::vector<embedding::Value>& args);
// The bytes of text a call waiting in the pool holds: its arguments, and the
// keys of its scopes, which repeat its names.
size_t HeldBytes(const PoolCall& call);

// What one connection may keep waiting in the pool (calls not yet running,
// counted by HeldBytes):
// beyond it a call is refused at once, so that a page that floods its host
// cannot take it past its memory bound. A single call is always taken when
// nothing waits, whatever its size.
struct WaitingBound {
    size_t calls = 64;
    size_t bytes = 32u << 20;
};

class CallPool {
  public:
    // Runs a call on worker `worker` (0 .. workers-1); it answers the call itself.
    using Run = std::function<void(size_t worker, PoolCall& call)>;
    CallPool(size_t workers, Run run);
    // Cancels every call and waits for the workers.
    ~CallPool();
    CallPool(const CallPool&) = delete;
    CallPool& operator=(const CallPool&) = delete;

    // Whether a call with these scopes must wait for one in the pool.
    bool MustWait(const std::vector<Scope>& scopes) const;
    bool Empty() const;
    // Takes the call; false, keeping nothing, when the calls already waiting
    // are at `bound`.
    bool Add(std::shared_ptr<PoolCall> call, const WaitingBound& bound = {});
    // Marks the call of that id cancelled; false when none is in the pool.
    bool Cancel(std::string_view id);
    void CancelAll();
    // Waits until the pool holds no call.
    void Drain();

  private:
    struct Entry {
        std::shared_ptr<PoolCall> call;
        size_t bytes = 0;  // HeldBytes
        bool running = false;
    };
    void Work(size_t worker);
    // The first waiting call that no earlier call holds back; null when none.
    Entry* NextRunnable();

    Run run_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::list<Entry> entries_;  // in the order the calls came
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace messaging
